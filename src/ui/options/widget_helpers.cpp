#include "ui/options/widget_helpers.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>

namespace quorvane::ui {

QLabel* Text(const char* name, const QString& text, QWidget* parent) {
    auto* label = Named<QLabel>(name, text, parent);
    label->setWordWrap(true);
    return label;
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

}  // namespace quorvane::ui
