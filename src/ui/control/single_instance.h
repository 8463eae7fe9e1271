#pragma once

#include <sys/types.h>

#include <QObject>
#include <QString>
#include <filesystem>
#include <optional>
#include <string>

class QLocalServer;
class QLocalSocket;

namespace quorvane::ui {

// One window per program folder: the first start claims the folder's key and
// answers later starts, which only ask it to come to the front and end. The
// socket lives in `folder` (see InstanceFolder); without one the program runs
// unguarded. Both ends believe only a process of `user`.
class SingleInstance : public QObject {
    Q_OBJECT

  public:
    SingleInstance(std::optional<std::filesystem::path> folder, const std::string& key, uid_t user,
                   QObject* parent = nullptr);
    ~SingleInstance() override;

    // True when this instance runs (and answers the others, when guarded);
    // false when another one of this user runs and was asked to show itself
    // (and, with `share`, to open its Share dialog on that folder; on none
    // when it is empty).
    bool Claim(const std::optional<QString>& share = std::nullopt);

  signals:
    // A later start of this user asked this instance to show its window.
    void Activated();
    // ... and to open the Share dialog, on this folder unless it is empty.
    void ShareAsked(const QString& folder);

  private:
    bool AskRunningInstance(const std::optional<QString>& share);
    void Answer();
    void ReadRequests(QLocalSocket& client);

    std::optional<std::filesystem::path> folder_;
    QString socketPath_;
    uid_t user_;
    QLocalServer* server_ = nullptr;
};

}  // namespace quorvane::ui
