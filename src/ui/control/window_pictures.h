#pragma once

#include <QIcon>
#include <QPixmap>

namespace quorvane::ui {

class QrCode;

// The window's own icon, drawn for it; greyed while the server is stopped.
QIcon AppIcon(bool serving = true);

// The code with its quiet zone of four light modules, which a camera needs to
// find it; black on white whatever the desktop's colours.
QPixmap QrPixmap(const QrCode& code);

}  // namespace quorvane::ui
