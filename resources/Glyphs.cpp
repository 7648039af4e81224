#include "resources/Glyphs.h"

#include <QBitmap>
#include <QImage>

namespace tlc {

QPixmap TransparentGlyph(const QString& resourcePath) {
    const QImage image(resourcePath);
    if (image.isNull()) return {};
    QPixmap pixmap = QPixmap::fromImage(image);
    const QRgb key = image.pixel(0, image.height() - 1);
    pixmap.setMask(QBitmap::fromImage(image.createMaskFromColor(key, Qt::MaskInColor)));
    return pixmap;
}

QIcon ApplicationIcon() {
    QIcon icon;
    icon.addFile(QStringLiteral(":/glyphs/icon32.bmp"), QSize(32, 32));
    icon.addFile(QStringLiteral(":/glyphs/icon48.bmp"), QSize(48, 48));
    return icon;
}

} // namespace tlc
