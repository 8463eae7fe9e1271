#pragma once

#include <QApplication>
#include <QElapsedTimer>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "ui/control/desktop.h"
#include "ui/options/pickers.h"

namespace quorvane::testing {

// Records every message box and answers questions as told.
class FakeMessages : public ui::MessageBoxes {
  public:
    void Warning(const QString& text, const QString& title) override {
        warnings.push_back(title + ": " + text);
    }
    void Information(const QString& text, const QString& title) override {
        informations.push_back(title + ": " + text);
    }
    bool Question(const QString& text, const QString& title) override {
        questions.push_back(title + ": " + text);
        return answer;
    }
    std::vector<QString> warnings;
    std::vector<QString> informations;
    std::vector<QString> questions;
    bool answer = true;
};

class FakeDesktop : public ui::DesktopServices {
  public:
    ui::UrlOpening OpenUrl(const QString& url) override {
        urls.push_back(url);
        return urlOpening;
    }
    bool OpenFolder(const QString& path) override {
        folders.push_back(path);
        return true;
    }
    bool TrayAvailable() const override { return tray; }
    void ShowTrayMessage(QSystemTrayIcon&, const QString& title, const QString& text) override {
        trayMessages.push_back(title + ": " + text);
    }
    std::vector<std::string> HostAddresses() const override { return addresses; }
    std::vector<QString> urls;
    std::vector<QString> folders;
    std::vector<QString> trayMessages;
    ui::UrlOpening urlOpening = ui::UrlOpening::kOpened;
    bool tray = true;
    std::vector<std::string> addresses = {"127.0.0.1", "::1", "192.0.2.20", "fe80::1"};
};

// Answers the folder and file choosers from a queue; an empty answer cancels.
class FakePickers : public ui::FilePickers {
  public:
    std::optional<QString> ChooseFolder(QWidget*, const QString& title, const QString&) override {
        asked.push_back(title);
        return Next();
    }
    std::optional<QString> ChooseFile(QWidget*, const QString& initial, const QString& filters,
                                      const QString& selected) override {
        asked.push_back(initial + " | " + filters + " | " + selected);
        return Next();
    }
    std::deque<std::optional<QString>> answers;
    std::vector<QString> asked;

  private:
    std::optional<QString> Next() {
        if (answers.empty()) {
            return std::nullopt;
        }
        std::optional<QString> answer;
        answer.swap(answers.front());
        answers.pop_front();
        return answer;
    }
};

// Processes events until the condition holds; false after five seconds.
inline bool WaitUntil(const std::function<bool()>& condition) {
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > 5000) {
            return false;
        }
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
}

}  // namespace quorvane::testing
