#include "ui/control/desktop.h"

#include <QApplication>
#include <QDesktopServices>
#include <QMessageBox>
#include <QSystemTrayIcon>
#include <QUrl>

namespace quorvane::ui {

void QtMessageBoxes::Warning(const QString& text, const QString& title) {
    QMessageBox::warning(QApplication::activeWindow(), title, text);
}

bool QtMessageBoxes::Question(const QString& text, const QString& title) {
    return QMessageBox::question(QApplication::activeWindow(), title, text,
                                 QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
}

bool QtDesktopServices::OpenUrl(const QString& url) {
    return QDesktopServices::openUrl(QUrl(url));
}

bool QtDesktopServices::OpenFolder(const QString& path) {
    return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

bool QtDesktopServices::TrayAvailable() const {
    return QSystemTrayIcon::isSystemTrayAvailable();
}

}  // namespace quorvane::ui
