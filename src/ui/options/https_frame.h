#pragma once

#include <QGroupBox>

#include "ui/options/options_page.h"

class QCheckBox;
class QFormLayout;
class QLineEdit;

namespace quorvane::ui {

// The HTTPS part of the Home Directory tab: its port, the certificate and
// key files (none for a self-signed certificate), and the redirect to HTTPS.
class HttpsFrame : public QGroupBox {
    Q_OBJECT

  public:
    explicit HttpsFrame(const OptionsSetup& setup);

    void Show(const OptionsValues& values);
    // The HTTPS port may not be the TCP port, which is checked already.
    std::optional<OptionsPage::Refusal> Check(const QString& tcpPort) const;
    void Collect(OptionsValues& values) const;

  private:
    // A file box with its picker, as a row of the frame.
    QLineEdit* FileRow(QFormLayout* form, const char* name, const char* button,
                       const QString& caption);

    const OptionsSetup& setup_;
    QLineEdit* port_;
    QLineEdit* certificateFile_;
    QLineEdit* keyFile_;
    QCheckBox* redirect_;
};

}  // namespace quorvane::ui
