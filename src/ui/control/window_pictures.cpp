#include "ui/control/window_pictures.h"

#include <QImage>
#include <QPainter>
#include <QSvgRenderer>
#include <algorithm>

#include "ui/control/qr_code.h"

// The icon lives in a static library, whose resources must be registered
// by hand.
static void InitResources() {
    Q_INIT_RESOURCE(quorvane);
}

namespace quorvane::ui {

QIcon AppIcon(bool serving) {
    InitResources();
    QSvgRenderer renderer(QStringLiteral(":/quorvane/quorvane.svg"));
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64, 128, 256}) {
        QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        renderer.render(&painter);
        painter.end();
        if (!serving) {
            // Stopped: the same picture in grey, faded, as idle tray icons are.
            for (int y = 0; y < size; ++y) {
                auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
                for (int x = 0; x < size; ++x) {
                    const QRgb plain = qUnpremultiply(line[x]);
                    const int grey = qGray(plain);
                    const int alpha = qAlpha(plain) * 3 / 5;
                    line[x] = qPremultiply(qRgba(grey, grey, grey, alpha));
                }
            }
        }
        icon.addPixmap(QPixmap::fromImage(image));
    }
    return icon;
}

QPixmap QrPixmap(const QrCode& code) {
    constexpr int kQuietZone = 4;
    const int modules = code.Size() + 2 * kQuietZone;
    const int scale = std::max(3, 180 / modules);
    QImage image(modules * scale, modules * scale, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    for (int y = 0; y < code.Size(); ++y) {
        for (int x = 0; x < code.Size(); ++x) {
            if (code.Dark(x, y)) {
                painter.fillRect((x + kQuietZone) * scale, (y + kQuietZone) * scale, scale, scale,
                                 Qt::black);
            }
        }
    }
    painter.end();
    return QPixmap::fromImage(image);
}

}  // namespace quorvane::ui
