#pragma once

#include <string>
#include <string_view>

namespace quorvane::ui {

// What the tray icon shows: which of its two pictures, and its tooltip with
// the site's URL while the server runs.
struct TrayState {
    bool serving = false;
    std::string toolTip;
};
TrayState DescribeTray(std::string_view caption, bool serving, std::string_view url);

// Closing the window while it serves and a tray icon can bring it back only
// hides it; otherwise, and whenever Exit was chosen, the program ends.
enum class CloseAction { kHideToTray, kEndProgram };
CloseAction DecideClose(bool exitChosen, bool serving, bool trayShown);

}  // namespace quorvane::ui
