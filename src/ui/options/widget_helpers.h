#pragma once

#include <QIcon>
#include <QLabel>
#include <QPushButton>
#include <QString>
#include <QStyle>
#include <initializer_list>
#include <optional>
#include <string>
#include <utility>

class QCheckBox;
class QHBoxLayout;
class QListWidget;

namespace quorvane::ui {

// The small pieces every options tab and entry dialog is built from. Each
// widget carries the object name the tests find it by.

inline QString Q(const std::string& text) {
    return QString::fromStdString(text);
}
inline std::string S(const QString& text) {
    return text.toStdString();
}

template <typename Widget, typename... Args>
Widget* Named(const char* name, Args&&... args) {
    auto* widget = new Widget(std::forward<Args>(args)...);
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

// A label that wraps its text.
QLabel* Text(const char* name, const QString& text, QWidget* parent = nullptr);
// A box's caption, kept on one line: beside a box a wrapping label is
// squeezed until its words no longer fit.
QLabel* Caption(const char* name, const QString& text, QWidget* parent = nullptr);
// A button that Enter in a box does not press.
QPushButton* Button(const char* name, const QString& caption, QWidget* parent = nullptr);
// The widgets side by side, pushed to the left (or, with stretchFirst, to the right).
QHBoxLayout* Row(std::initializer_list<QWidget*> widgets, bool stretchFirst = false);
// The selected row of a list, if any.
std::optional<size_t> Selected(QListWidget* list);
QIcon Icon(QStyle::StandardPixmap which);

// A folder's rights: which names may run there, and what visitors may write.
struct FolderRightsBoxes {
    QCheckBox* scripts;
    QCheckBox* programs;
    QCheckBox* uploads;
    QCheckBox* changes;
};
// Makes the two write boxes ("Uploads", "Changes") for the run boxes given;
// from then on they follow ShownWriteBoxes whenever a run box changes.
FolderRightsBoxes WithWriteBoxes(QCheckBox* scripts, QCheckBox* programs,
                                 QWidget* parent = nullptr);
// After all four were set at once: the write boxes as the rule has them.
void ShowWriteBoxes(const FolderRightsBoxes& boxes);

}  // namespace quorvane::ui
