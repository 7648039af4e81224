#pragma once

#include <QIcon>
#include <QPixmap>
#include <QString>

namespace tlc {

// A button picture from the resources with the colour of its bottom-left
// pixel made transparent.
QPixmap TransparentGlyph(const QString& resourcePath);

// The sizes the application icon is drawn for (the same PNGs go into the
// desktop's icon theme).
inline constexpr int ApplicationIconSizes[] = {16, 24, 32, 48, 64, 128, 256};

// The application icon: one image with an alpha channel for each size.
QIcon ApplicationIcon();

} // namespace tlc
