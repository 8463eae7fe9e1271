#pragma once

#include <QObject>
#include <QString>

class QLocalServer;

namespace quorvane::ui {

// One window per program folder: the first start claims the folder's key and
// answers later starts, which only ask it to come to the front and end.
class SingleInstance : public QObject {
    Q_OBJECT

  public:
    explicit SingleInstance(QString key, QObject* parent = nullptr);
    ~SingleInstance() override;

    // True when this is the only instance (it now answers the others);
    // false when another one runs and was asked to show itself.
    bool Claim();

  signals:
    // A later start asked this instance to show its window.
    void Activated();

  private:
    bool AskRunningInstance();

    QString key_;
    QLocalServer* server_ = nullptr;
};

}  // namespace quorvane::ui
