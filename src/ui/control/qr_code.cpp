#include "ui/control/qr_code.h"

#include <qrencode.h>

#include <memory>
#include <string>

namespace quorvane::ui {

std::optional<QrCode> QrCode::Encode(std::string_view text) {
    const std::string data(text);
    // Medium error correction survives a phone camera's glare and a scuffed
    // screen; version 0 lets the library pick the smallest code that fits.
    const std::unique_ptr<QRcode, decltype(&QRcode_free)> code(
        QRcode_encodeString8bit(data.c_str(), 0, QR_ECLEVEL_M), &QRcode_free);
    if (!code) {
        return std::nullopt;
    }
    const int size = code->width;
    std::vector<bool> dark(static_cast<size_t>(size * size));
    for (size_t i = 0; i < dark.size(); ++i) {
        dark[i] = (code->data[i] & 1) != 0;  // the lowest bit is the module's colour
    }
    return QrCode(size, std::move(dark));
}

}  // namespace quorvane::ui
