#include "ui/Fonts.h"

#include <QFontInfo>
#include <QStringList>

namespace tlc {

namespace {

// Liberation Sans is about 7% wider than the bitmap face at this size.
constexpr int kNarrowedStretch = 93;

} // namespace

QFont SansSerif11() {
    static const bool substituted = [] {
        const QStringList faces{QStringLiteral("Microsoft Sans Serif"),
                                QStringLiteral("Liberation Sans"), QStringLiteral("Arial")};
        QFont::insertSubstitutions(QStringLiteral("MS Sans Serif"), faces);
        return true;
    }();
    (void)substituted;
    QFont font(QStringLiteral("MS Sans Serif"));
    font.setPixelSize(11);
    const QString served = QFontInfo(font).family();
    if (served != QLatin1String("MS Sans Serif") && served != QLatin1String("Microsoft Sans Serif"))
        font.setStretch(kNarrowedStretch);
    return font;
}

} // namespace tlc
