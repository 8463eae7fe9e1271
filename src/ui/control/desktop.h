#pragma once

#include <QString>
#include <string>
#include <vector>

class QSystemTrayIcon;

namespace quorvane::ui {

// Message boxes, so that tests can answer them.
class MessageBoxes {
  public:
    virtual ~MessageBoxes() = default;
    virtual void Warning(const QString& text, const QString& title) = 0;
    virtual void Information(const QString& text, const QString& title) = 0;
    virtual bool Question(const QString& text, const QString& title) = 0;  // true for Yes
};

enum class UrlOpening { kOpened, kNoBrowser, kFailed };

// What the window asks of the desktop.
class DesktopServices {
  public:
    virtual ~DesktopServices() = default;
    virtual UrlOpening OpenUrl(const QString& url) = 0;
    virtual bool OpenFolder(const QString& path) = 0;
    virtual bool TrayAvailable() const = 0;
    virtual void ShowTrayMessage(QSystemTrayIcon& icon, const QString& title,
                                 const QString& text) = 0;
    virtual std::vector<std::string> HostAddresses() const = 0;
};

// The real ones: Qt's message boxes and desktop services.
class QtMessageBoxes : public MessageBoxes {
  public:
    void Warning(const QString& text, const QString& title) override;
    void Information(const QString& text, const QString& title) override;
    bool Question(const QString& text, const QString& title) override;
};

class QtDesktopServices : public DesktopServices {
  public:
    UrlOpening OpenUrl(const QString& url) override;
    bool OpenFolder(const QString& path) override;
    bool TrayAvailable() const override;
    void ShowTrayMessage(QSystemTrayIcon& icon, const QString& title, const QString& text) override;
    std::vector<std::string> HostAddresses() const override;
};

}  // namespace quorvane::ui
