#include "ui/options/widget_helpers.h"

#include <QApplication>
#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>

#include "ui/options/options_values.h"

namespace quorvane::ui {

QLabel* Text(const char* name, const QString& text, QWidget* parent) {
    auto* label = Named<QLabel>(name, text, parent);
    label->setWordWrap(true);
    return label;
}

QLabel* Caption(const char* name, const QString& text, QWidget* parent) {
    return Named<QLabel>(name, text, parent);
}

QPushButton* Button(const char* name, const QString& caption, QWidget* parent) {
    auto* button = Named<QPushButton>(name, caption, parent);
    button->setAutoDefault(false);
    return button;
}

QHBoxLayout* Row(std::initializer_list<QWidget*> widgets, bool stretchFirst) {
    auto* row = new QHBoxLayout;
    if (stretchFirst) {
        row->addStretch();
    }
    for (QWidget* widget : widgets) {
        row->addWidget(widget);
    }
    if (!stretchFirst) {
        row->addStretch();
    }
    return row;
}

std::optional<size_t> Selected(QListWidget* list) {
    const int row = list->currentRow();
    if (row < 0 || list->selectedItems().isEmpty()) {
        return std::nullopt;
    }
    return static_cast<size_t>(row);
}

QIcon Icon(QStyle::StandardPixmap which) {
    return QApplication::style()->standardIcon(which);
}

FolderRightsBoxes WithWriteBoxes(QCheckBox* scripts, QCheckBox* programs, QWidget* parent) {
    const FolderRightsBoxes boxes{
        scripts, programs,
        Named<QCheckBox>("Uploads", QStringLiteral("Visitors may add files"), parent),
        Named<QCheckBox>("Changes", QStringLiteral("Visitors may change and delete files"),
                         parent)};
    for (QCheckBox* runs : {scripts, programs}) {
        QObject::connect(runs, &QCheckBox::toggled, boxes.uploads,
                         [boxes] { ShowWriteBoxes(boxes); });
    }
    ShowWriteBoxes(boxes);
    return boxes;
}

void ShowWriteBoxes(const FolderRightsBoxes& boxes) {
    const WriteBoxes shown =
        ShownWriteBoxes(boxes.scripts->isChecked(), boxes.programs->isChecked(),
                        boxes.uploads->isChecked(), boxes.changes->isChecked());
    boxes.uploads->setChecked(shown.uploads);
    boxes.changes->setChecked(shown.changes);
    boxes.uploads->setEnabled(shown.enabled);
    boxes.changes->setEnabled(shown.enabled);
}

}  // namespace quorvane::ui
