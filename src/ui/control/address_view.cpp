#include "ui/control/address_view.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>

#include "ui/control/qr_code.h"
#include "ui/control/window_pictures.h"

namespace quorvane::ui {

AddressView::AddressView(const QString& prefix, const QString& opens)
    : url_(new QLabel),
      copy_(new QPushButton(QStringLiteral("&Copy"))),
      code_(new QLabel),
      row_(new QHBoxLayout) {
    url_->setObjectName(prefix + QStringLiteral("Url"));
    url_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    copy_->setObjectName(prefix + QStringLiteral("Copy"));
    code_->setObjectName(prefix + QStringLiteral("QRCode"));
    code_->setAlignment(Qt::AlignCenter);
    code_->setToolTip(QStringLiteral("Point a phone's camera here to open ") + opens +
                      QStringLiteral("."));
    row_->addWidget(url_, 1);
    row_->addWidget(copy_);
    QObject::connect(copy_, &QPushButton::clicked, url_,
                     [url = url_] { QGuiApplication::clipboard()->setText(url->text()); });
}

void AddressView::Show(const QString& url) {
    const std::optional<QrCode> code =
        url.isEmpty() ? std::nullopt : QrCode::Encode(url.toStdString());
    url_->setText(url);
    url_->setVisible(!url.isEmpty());
    copy_->setVisible(!url.isEmpty());
    code_->setPixmap(code ? QrPixmap(*code) : QPixmap());
    code_->setVisible(code.has_value());
}

}  // namespace quorvane::ui
