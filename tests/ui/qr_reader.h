#pragma once

#include <QImage>
#include <string>

namespace quorvane::testing {

// What a camera would read from the picture: the text of the QR code in it,
// or empty when none can be read.
std::string ReadQrCode(const QImage& picture);

}  // namespace quorvane::testing
