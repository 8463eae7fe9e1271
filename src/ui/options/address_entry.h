#pragma once

#include <array>
#include <string>
#include <string_view>

namespace quorvane::ui {

// The four boxes of an address entry.
struct AddressBoxes {
    std::array<std::string, 4> parts;
    int focus = 0;  // the box that has the cursor
};

// What the boxes hold after the user typed or pasted into box `edited` so
// that it now reads `text`: a "." ends the box and moves on to the next, so
// "192.168.1.20" pasted into the first box fills all four, and "10." typed
// leaves "10" and the cursor in the second. Each box keeps at most three
// characters; pieces beyond the fourth box are dropped.
AddressBoxes DistributeAddressInput(AddressBoxes boxes, int edited, std::string_view text);

}  // namespace quorvane::ui
