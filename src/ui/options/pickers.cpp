#include "ui/options/pickers.h"

#include <QFileDialog>

namespace quorvane::ui {

std::optional<QString> QtFilePickers::ChooseFolder(QWidget* parent, const QString& title,
                                                   const QString& start) {
    const QString folder = QFileDialog::getExistingDirectory(parent, title, start);
    if (folder.isEmpty()) {
        return std::nullopt;
    }
    return folder;
}

std::optional<QString> QtFilePickers::ChooseFile(QWidget* parent, const QString& initial,
                                                 const QString& filters,
                                                 const QString& selectedFilter) {
    QString chosenFilter = selectedFilter;
    const QString file = QFileDialog::getOpenFileName(parent, QString(), initial, filters,
                                                      &chosenFilter, QFileDialog::ReadOnly);
    if (file.isEmpty()) {
        return std::nullopt;
    }
    return file;
}

}  // namespace quorvane::ui
