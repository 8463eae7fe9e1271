#include "ui/options/fault_tolerance_page.h"

#include <QCheckBox>
#include <QVBoxLayout>

#include "ui/options/widget_helpers.h"

namespace quorvane::ui {

FaultTolerancePage::FaultTolerancePage() {
    auto* layout = new QVBoxLayout;
    layout->addWidget(
        Text("Label8", QStringLiteral("Enable Quorvane2000s in-built fault tolerance. The "
                                      "fault tolerance is quite a simple technology. If any of "
                                      "the standard configuration files are missing at start "
                                      "up, Quorvane2000 will rebuild them. Obviously if the "
                                      "main INI file is missing, only the INI file can be "
                                      "rebuilt. Once this has been done, you can re-run "
                                      "Quorvane2000 to get it to check for any other missing "
                                      "configuration files.")));
    layout->addWidget(Text("Label11", QStringLiteral("Rebuild the following configuration files if "
                                                     "they appear to be missing:")));
    rebuildDirs_ =
        Named<QCheckBox>("RebuildDIRS", QStringLiteral("Rebuild a Simple Virtual Directory List"));
    rebuildMime_ = Named<QCheckBox>(
        "RebuildMIME",
        QStringLiteral("Rebuild MIME List (A simple set of MIME types are configured)"));
    rebuildDefault_ =
        Named<QCheckBox>("RebuildDefault", QStringLiteral("Default Document Name List"));
    layout->addWidget(rebuildDirs_);
    layout->addWidget(rebuildMime_);
    layout->addWidget(rebuildDefault_);
    layout->addWidget(
        Text("Label17", QStringLiteral("Please Note: Although Quorvane2000 can rebuild certain "
                                       "configuration files. Quorvane2000 may still not continue "
                                       "to function after a rebuild. This facility simply makes "
                                       "reconfiguration easier and can recover from simple "
                                       "configuration corruptions.")));
    layout->addStretch();
    SetContent(QStringLiteral("Fault Tolerance"), layout);
}

void FaultTolerancePage::Show(const OptionsValues& values) {
    rebuildDefault_->setChecked(values.rebuildDefault);
    rebuildMime_->setChecked(values.rebuildMime);
    rebuildDirs_->setChecked(values.rebuildDirs);
}

void FaultTolerancePage::Collect(OptionsValues& values) const {
    values.rebuildDefault = rebuildDefault_->isChecked();
    values.rebuildMime = rebuildMime_->isChecked();
    values.rebuildDirs = rebuildDirs_->isChecked();
}

}  // namespace quorvane::ui
