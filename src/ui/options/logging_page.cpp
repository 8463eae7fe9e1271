#include "ui/options/logging_page.h"

#include <QButtonGroup>
#include <QGroupBox>
#include <QLineEdit>
#include <QRadioButton>
#include <QVBoxLayout>

#include "ui/options/widget_helpers.h"

namespace quorvane::ui {

LoggingPage::LoggingPage() {
    auto* layout = new QVBoxLayout;
    auto* frame = Named<QGroupBox>("LoggingFrame", QStringLiteral("Refresh Log Every Time"));
    auto* frameLayout = new QVBoxLayout(frame);
    refreshOnRun_ = Named<QRadioButton>("RefreshOnRun", QStringLiteral("Quorvane2000 Is Run"));
    refreshOnStop_ = Named<QRadioButton>("RefreshOnStop",
                                         QStringLiteral("Quorvane2000 is Stopped and Restarted"));
    userControlled_ =
        Named<QRadioButton>("UserControlled", QStringLiteral("When I Refresh the Log Myself"));
    auto* group = new QButtonGroup(this);
    for (QRadioButton* button : {refreshOnRun_, refreshOnStop_, userControlled_}) {
        group->addButton(button);
        frameLayout->addWidget(button);
    }
    layout->addWidget(frame);
    limit_ = Named<QLineEdit>("LogLimit");
    limit_->setMaximumWidth(80);
    layout->addLayout(Row({Text("Label22", QStringLiteral("Start a new log file past (MiB, 0 is "
                                                          "never); the old one is kept as "
                                                          "QUORVANE.LOG.1")),
                           limit_}));
    layout->addWidget(
        Text("Label10", QStringLiteral("Select how you want Quorvane2000 to update the Server "
                                       "access logs. The log file is called QUORVANE.LOG and is "
                                       "saved in the same directory that the Quorvane2000 "
                                       "executable is found in.")));
    layout->addStretch();
    SetContent(QStringLiteral("Logging"), layout);
}

void LoggingPage::Show(const OptionsValues& values) {
    refreshOnRun_->setChecked(values.refreshOnRun);
    refreshOnStop_->setChecked(values.refreshOnStop);
    userControlled_->setChecked(values.userControlled);
    limit_->setText(Q(values.logLimitMiB));
}

std::optional<OptionsPage::Refusal> LoggingPage::Check() const {
    if (!IsLogLimit(S(limit_->text()))) {
        return Refusal{limit_, QStringLiteral("The log size limit must be a whole number of MiB "
                                              "from 0 (no limit) to 1000000.")};
    }
    return std::nullopt;
}

void LoggingPage::Collect(OptionsValues& values) const {
    values.refreshOnRun = refreshOnRun_->isChecked();
    values.refreshOnStop = refreshOnStop_->isChecked();
    values.userControlled = userControlled_->isChecked();
    values.logLimitMiB = S(limit_->text().trimmed());
}

}  // namespace quorvane::ui
