#include "ui/qr_reader.h"

#include <zbar.h>

#include <vector>

namespace quorvane::testing {

std::string ReadQrCode(const QImage& picture) {
    using namespace zbar;  // its C interface, which C++ sees in this namespace
    const QImage grey = picture.convertToFormat(QImage::Format_Grayscale8);
    const int width = grey.width();
    const int height = grey.height();
    // zbar wants the rows packed; a QImage pads each to four bytes.
    std::vector<unsigned char> pixels(static_cast<size_t>(width) * height);
    for (int y = 0; y < height; ++y) {
        std::copy_n(grey.constScanLine(y), width, pixels.begin() + static_cast<long>(y) * width);
    }
    zbar_image_scanner_t* scanner = zbar_image_scanner_create();
    zbar_image_scanner_set_config(scanner, ZBAR_NONE, ZBAR_CFG_ENABLE, 0);
    zbar_image_scanner_set_config(scanner, ZBAR_QRCODE, ZBAR_CFG_ENABLE, 1);
    zbar_image_t* image = zbar_image_create();
    zbar_image_set_format(image, zbar_fourcc('Y', '8', '0', '0'));
    zbar_image_set_size(image, static_cast<unsigned>(width), static_cast<unsigned>(height));
    zbar_image_set_data(image, pixels.data(), pixels.size(), nullptr);
    std::string text;
    if (zbar_scan_image(scanner, image) > 0) {
        text = zbar_symbol_get_data(zbar_image_first_symbol(image));
    }
    zbar_image_destroy(image);
    zbar_image_scanner_destroy(scanner);
    return text;
}

}  // namespace quorvane::testing
