#include "ui/options/options_page.h"

#include <QGroupBox>
#include <QVBoxLayout>

namespace quorvane::ui {

void OptionsPage::Show(const OptionsValues&) {}

std::optional<OptionsPage::Refusal> OptionsPage::Check() const {
    return std::nullopt;
}

void OptionsPage::Collect(OptionsValues&) const {}

void OptionsPage::SetContent(const QString& caption, QLayout* content) {
    auto* outer = new QVBoxLayout(this);
    auto* frame = new QGroupBox(caption);
    frame->setLayout(content);
    outer->addWidget(frame);
}

}  // namespace quorvane::ui
