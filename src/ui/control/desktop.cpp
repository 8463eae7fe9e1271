#include "ui/control/desktop.h"

#include <QApplication>
#include <QDesktopServices>
#include <QMessageBox>
#include <QStandardPaths>
#include <QSystemTrayIcon>
#include <QUrl>

#include "server/host_identity.h"
#include "ui/control/host_addresses.h"

namespace quorvane::ui {

void QtMessageBoxes::Warning(const QString& text, const QString& title) {
    QMessageBox::warning(QApplication::activeWindow(), title, text);
}

void QtMessageBoxes::Information(const QString& text, const QString& title) {
    QMessageBox::information(QApplication::activeWindow(), title, text);
}

bool QtMessageBoxes::Question(const QString& text, const QString& title) {
    return QMessageBox::question(QApplication::activeWindow(), title, text,
                                 QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
}

UrlOpening QtDesktopServices::OpenUrl(const QString& url) {
    // A desktop opens web pages through xdg-open; without it only a browser
    // named by $BROWSER can do it.
    if (QStandardPaths::findExecutable(QStringLiteral("xdg-open")).isEmpty() &&
        qEnvironmentVariableIsEmpty("BROWSER")) {
        return UrlOpening::kNoBrowser;
    }
    return QDesktopServices::openUrl(QUrl(url)) ? UrlOpening::kOpened : UrlOpening::kFailed;
}

bool QtDesktopServices::OpenFolder(const QString& path) {
    return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

bool QtDesktopServices::TrayAvailable() const {
    return QSystemTrayIcon::isSystemTrayAvailable();
}

void QtDesktopServices::ShowTrayMessage(QSystemTrayIcon& icon, const QString& title,
                                        const QString& text) {
    icon.showMessage(title, text, QSystemTrayIcon::Information);
}

std::vector<std::string> QtDesktopServices::HostAddresses() const {
    return server::ListHostAddresses();
}

}  // namespace quorvane::ui
