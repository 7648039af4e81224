#pragma once

#include <QIcon>
#include <QPixmap>
#include <QString>

namespace tlc {

// A button picture from the resources with the colour of its bottom-left
// pixel made transparent.
QPixmap TransparentGlyph(const QString& resourcePath);

// The application icon: 32 x 32 and 48 x 48 images.
QIcon ApplicationIcon();

} // namespace tlc
