#include "ui/control/tray_state.h"

namespace quorvane::ui {

TrayState DescribeTray(std::string_view caption, bool serving, std::string_view url) {
    return {serving, std::string(caption) + "\n" + (serving ? std::string(url) : "stopped")};
}

CloseAction DecideClose(bool exitChosen, bool serving, bool trayShown) {
    return !exitChosen && serving && trayShown ? CloseAction::kHideToTray
                                               : CloseAction::kEndProgram;
}

}  // namespace quorvane::ui
