#pragma once

#include <QString>

class QHBoxLayout;
class QLabel;
class QPushButton;

namespace quorvane::ui {

// An address to copy or scan: its text with a Copy button beside it, and its
// QR code, named "<prefix>Url", "<prefix>Copy" and "<prefix>QRCode". The
// widgets belong to whatever layout they are placed in.
class AddressView {
  public:
    // `opens` ends the QR code's tip: "Point a phone's camera here to open ...".
    AddressView(const QString& prefix, const QString& opens);

    QHBoxLayout* Row() const { return row_; }  // the text and Copy
    QLabel* Url() const { return url_; }
    QLabel* Code() const { return code_; }

    // The address and its code; nothing at all for an empty one, and no code
    // when none can be made.
    void Show(const QString& url);

  private:
    QLabel* url_;
    QPushButton* copy_;
    QLabel* code_;
    QHBoxLayout* row_;
};

}  // namespace quorvane::ui
