#include "ui/options/address_entry.h"

#include <algorithm>

namespace quorvane::ui {

namespace {

constexpr size_t kPartLength = 3;

}  // namespace

AddressBoxes DistributeAddressInput(AddressBoxes boxes, int edited, std::string_view text) {
    edited = std::clamp(edited, 0, 3);
    int box = edited;
    bool first = true;
    for (;;) {
        const size_t dot = text.find('.');
        const std::string_view piece = text.substr(0, dot);
        // The edited box always takes its piece; a later box only a piece
        // with something in it, so typing "." does not wipe what follows.
        if (first || !piece.empty()) {
            boxes.parts[box] = std::string(piece.substr(0, kPartLength));
        }
        first = false;
        if (dot == std::string_view::npos || box == 3) {
            break;
        }
        text.remove_prefix(dot + 1);
        ++box;
    }
    boxes.focus = box;
    return boxes;
}

}  // namespace quorvane::ui
