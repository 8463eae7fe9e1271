#pragma once

#include <optional>
#include <string_view>
#include <vector>

namespace quorvane::ui {

// A QR code as a square of dark and light modules, made by libqrencode.
// Drawing it (with its quiet zone) is the window's business.
class QrCode {
  public:
    // Nothing when the text is too long for any QR code version.
    static std::optional<QrCode> Encode(std::string_view text);

    int Size() const { return size_; }
    bool Dark(int x, int y) const { return dark_[static_cast<size_t>(y * size_ + x)]; }

  private:
    QrCode(int size, std::vector<bool> dark) : size_(size), dark_(std::move(dark)) {}
    int size_;
    std::vector<bool> dark_;
};

}  // namespace quorvane::ui
