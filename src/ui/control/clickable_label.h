#pragma once

#include <QLabel>
#include <QMouseEvent>

namespace quorvane::ui {

// A label that looks like a link and reports clicks, for the site's URLs
// and its location.
class ClickableLabel : public QLabel {
    Q_OBJECT

  public:
    explicit ClickableLabel(const char* name) {
        setObjectName(QString::fromLatin1(name));
        setCursor(Qt::PointingHandCursor);
        setStyleSheet(QStringLiteral("color: palette(link); text-decoration: underline;"));
    }

  signals:
    void clicked();

  protected:
    void mouseReleaseEvent(QMouseEvent* event) override {
        QLabel::mouseReleaseEvent(event);
        emit clicked();
    }
};

}  // namespace quorvane::ui
