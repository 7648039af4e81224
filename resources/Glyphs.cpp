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
    for (const int size : ApplicationIconSizes)
        icon.addFile(QStringLiteral(":/icons/%1.png").arg(size), QSize(size, size));
    return icon;
}

} // namespace tlc
