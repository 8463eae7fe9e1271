#include "ui/options/content_expiry_page.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QRadioButton>
#include <QVBoxLayout>

#include "ui/options/widget_helpers.h"

namespace quorvane::ui {

ContentExpiryPage::ContentExpiryPage() {
    auto* layout = new QVBoxLayout;
    layout->addWidget(
        Text("Label14", QStringLiteral("Content Expiry. You can set Quorvane2000 to return "
                                       "content expiry information to the browser. If the site "
                                       "served by Quorvane2000 is updated regularly, you may "
                                       "want to use content expiry, as the next time the "
                                       "browser accesses a page it will come from Quorvane2000 "
                                       "and not the browsers cache.")));
    expires_ =
        Named<QCheckBox>("ContentExpires", QStringLiteral("Enable Content Expiry on Quorvane2000"));
    layout->addWidget(expires_);
    layout->addWidget(ExpiryFrame());
    layout->addWidget(
        Text("Label15", QStringLiteral("For Content Expiry to work correctly, you must make "
                                       "sure that the system date and time on the machine "
                                       "running Quorvane2000 is correct.")));
    layout->addStretch();
    connect(expires_, &QCheckBox::clicked, this,
            [this](bool checked) { SetControls(checked, checked); });
    SetContent(QStringLiteral("Content Expiry"), layout);
}

QWidget* ContentExpiryPage::ExpiryFrame() {
    frame_ = Named<QGroupBox>("ExpireInfo", QStringLiteral("Expiration Parameters"));
    auto* layout = new QVBoxLayout(frame_);
    immediate_ = Named<QRadioButton>("ExpImmediate", QStringLiteral("Content Expires Immediately"));
    after_ = Named<QRadioButton>("ExpAfter", QStringLiteral("Content Expires After:"));
    duration_ = Named<QLineEdit>("ExpireDuration");
    duration_->setMaximumWidth(80);
    interval_ = Named<QComboBox>("ExpireInterval");
    interval_->setEditable(true);
    interval_->addItems({QStringLiteral("Days"), QStringLiteral("Weeks")});
    layout->addWidget(immediate_);
    layout->addLayout(Row({after_, duration_, interval_}));
    for (QRadioButton* choice : {immediate_, after_}) {
        connect(choice, &QRadioButton::clicked, this, [this, choice] {
            duration_->setEnabled(choice == after_);
            interval_->setEnabled(choice == after_);
        });
    }
    return frame_;
}

void ContentExpiryPage::SetControls(bool enabled, bool durationEnabled) {
    for (QWidget* control : {static_cast<QWidget*>(frame_), static_cast<QWidget*>(immediate_),
                             static_cast<QWidget*>(after_)}) {
        control->setEnabled(enabled);
    }
    duration_->setEnabled(durationEnabled);
    interval_->setEnabled(durationEnabled);
}

void ContentExpiryPage::Show(const OptionsValues& values) {
    expires_->setChecked(values.contentExpires);
    after_->setChecked(values.expireAfter);
    immediate_->setChecked(!values.expireAfter);
    duration_->setText(Q(values.duration));
    interval_->setCurrentText(Q(values.intervalType));
    SetControls(values.contentExpires, values.contentExpires && values.expireAfter);
}

void ContentExpiryPage::Collect(OptionsValues& values) const {
    values.contentExpires = expires_->isChecked();
    values.expireAfter = !immediate_->isChecked();
    values.duration = S(duration_->text());
    values.intervalType = S(interval_->currentText());
}

}  // namespace quorvane::ui
