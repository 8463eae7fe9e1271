#pragma once

#include <QObject>
#include <QString>

#include "server/engine_observer.h"

namespace quorvane::ui {

// Turns the engine's reports into Qt signals. The engine calls from its own
// thread; connections to the window are queued, so every slot runs on the
// window's thread.
class EngineBridge : public QObject, public server::EngineObserver {
    Q_OBJECT

  public:
    using QObject::QObject;

    void OnLogReplaced(std::string_view text) override {
        emit LogReplaced(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
    }
    void OnLogAppended(std::string_view text) override {
        emit LogAppended(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
    }
    void OnLoadCount(int openConnections) override { emit LoadCount(openConnections); }
    void OnStarted(std::string_view startedAt) override {
        emit Started(QString::fromUtf8(startedAt.data(), static_cast<qsizetype>(startedAt.size())));
    }
    void OnStopped() override { emit Stopped(); }
    void OnStartFailed(std::string_view reason) override {
        emit StartFailed(QString::fromUtf8(reason.data(), static_cast<qsizetype>(reason.size())));
    }
    // Says where in this window the remedy lies.
    void OnNotice(const server::Notice& notice) override {
        if (std::holds_alternative<server::PasswordsInClear>(notice)) {
            OnLogAppended(
                "Passwords cross the network unencrypted: a secure folder was asked for over "
                "plain HTTP from another computer. Turn on HTTPS (the HTTPS port, on the Home "
                "Directory tab of the options) and send visitors to it.\r\n");
            return;
        }
        EngineObserver::OnNotice(notice);
    }

  signals:
    void LogReplaced(const QString& text);
    void LogAppended(const QString& text);
    void LoadCount(int openConnections);
    void Started(const QString& startedAt);
    void Stopped();
    void StartFailed(const QString& reason);
};

}  // namespace quorvane::ui
