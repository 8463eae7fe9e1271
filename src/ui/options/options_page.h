#pragma once

#include <QDialog>
#include <QWidget>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "config/program_folder.h"
#include "ui/control/desktop.h"
#include "ui/options/options_values.h"
#include "ui/options/pickers.h"

class QLayout;

namespace quorvane::ui {

// What the options dialog and its tabs are given.
struct OptionsSetup {
    const config::ProgramFolder& folder;
    MessageBoxes& messages;
    FilePickers& pickers;
    // Tells the main window the home folder an Update has saved; until then
    // it shows the folder that is served.
    std::function<void(const QString&)> rootChanged;
    // Runs a small dialog modally; tests answer it instead.
    std::function<int(QDialog&)> exec = [](QDialog& dialog) { return dialog.exec(); };
    // This machine's addresses: blocking one of them is confirmed first.
    std::vector<std::string> hostAddresses;
    // Makes the writes of one Update so that the server's requests see all
    // of them or none (between two requests, while it serves).
    std::function<void(const std::function<void()>&)> together =
        [](const std::function<void()>& writes) { writes(); };
};

// One tab of the options dialog: it shows its part of the settings, checks
// and collects it back, and keeps its own controls' rules. A list tab edits
// its list in the dialog's ListEditors, which Update writes.
class OptionsPage : public QWidget {
    Q_OBJECT

  public:
    // A value the page cannot take: the box to correct and what is wrong.
    struct Refusal {
        QWidget* box;
        QString message;
    };

    virtual void Show(const OptionsValues& values);
    virtual std::optional<Refusal> Check() const;
    virtual void Collect(OptionsValues& values) const;

  protected:
    // The tab's own caption, framed around its controls.
    void SetContent(const QString& caption, QLayout* content);
};

}  // namespace quorvane::ui
