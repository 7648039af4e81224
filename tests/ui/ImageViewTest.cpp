// The widget that shows a TImage: raster formats on screen with the colours
// that ReadPixel gives, clipping, the parent showing through, icons and
// metafiles, and the immediate repaint the conversion relies on.

#include <memory>

#include <QBuffer>
#include <QImageWriter>
#include <QScreen>
#include <QTest>
#include <QWindow>

#include "image/Bitmap.h"
#include "image/Icon.h"
#include "image/Image.h"
#include "image/Metafile.h"
#include "ui/ImageView.h"

using namespace tlc;

namespace {

TColor ColourAt(int x, int y) {
    return RGB((x * 37 + y * 11) & 0xFF, (x * 5 + y * 73) & 0xFF, (x * y * 13 + 7) & 0xFF);
}

std::shared_ptr<TBitmapImage> MakeRaster(int bitCount, std::uint32_t compression, int w, int h) {
    TRasterFormat f;
    f.Width = w;
    f.Height = h;
    f.BitCount = static_cast<std::uint16_t>(bitCount);
    f.Compression = compression;
    if (compression == BI_BITFIELDS) {
        if (bitCount == 16) {
            f.RedMask = 0xF800;
            f.GreenMask = 0x07E0;
            f.BlueMask = 0x001F;
        } else {
            f.RedMask = 0x3FF00000;
            f.GreenMask = 0x000FFC00;
            f.BlueMask = 0x000003FF;
        }
    }
    if (bitCount <= 8) {
        const int entries = 1 << bitCount;
        for (int i = 0; i < entries; ++i)
            f.ColourTable.push_back(RGB((i * 97) & 0xFF, (i * 41) & 0xFF, (i * 13) & 0xFF));
    }
    auto raster = TBitmapImage::Create(f);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            raster->SetPixel(x, y, ColourAt(x, y));
    return raster;
}

void InstallBitmap(TImage& image, std::shared_ptr<TBitmapImage> raster) {
    auto bitmap = std::make_unique<TBitmap>();
    bitmap->SetImage(std::move(raster));
    image.Picture().Install(std::move(bitmap));
}

QRgb Expected(TColor c) {
    return qRgb(RedOf(c), GreenOf(c), BlueOf(c));
}

class PaintCounter : public QObject {
public:
    int paints = 0;
    QList<QRect> rects;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint) {
            ++paints;
            rects.append(static_cast<QPaintEvent*>(event)->rect());
        }
        return false;
    }
};

// What the window shows on screen, from its backing store.
QImage OnScreen(QWidget& window) {
    return window.screen()->grabWindow(window.winId()).toImage().convertToFormat(QImage::Format_RGB32);
}

} // namespace

class ImageViewTest : public QObject {
    Q_OBJECT

private slots:
    void rasterColoursAsRead_data() {
        QTest::addColumn<int>("bitCount");
        QTest::addColumn<int>("compression");
        QTest::newRow("1 bit") << 1 << int(BI_RGB);
        QTest::newRow("4 bits") << 4 << int(BI_RGB);
        QTest::newRow("8 bits") << 8 << int(BI_RGB);
        QTest::newRow("16 bits 5-5-5") << 16 << int(BI_RGB);
        QTest::newRow("16 bits 5-6-5 masks") << 16 << int(BI_BITFIELDS);
        QTest::newRow("24 bits") << 24 << int(BI_RGB);
        QTest::newRow("32 bits") << 32 << int(BI_RGB);
        QTest::newRow("32 bits 10-bit masks") << 32 << int(BI_BITFIELDS);
    }
    void rasterColoursAsRead() {
        QFETCH(int, bitCount);
        QFETCH(int, compression);
        const auto raster = MakeRaster(bitCount, static_cast<std::uint32_t>(compression), 13, 9);
        // The whole raster, an inner part, and a part reaching beyond the edge.
        for (const QRect part : {QRect(0, 0, 13, 9), QRect(3, 2, 7, 5), QRect(10, 6, 6, 6)}) {
            const QImage shown = RasterToQImage(*raster, part);
            QCOMPARE(shown.size(), part.size());
            for (int y = 0; y < part.height(); ++y)
                for (int x = 0; x < part.width(); ++x) {
                    const TColor read = raster->GetPixel(part.x() + x, part.y() + y);
                    QCOMPARE(shown.pixel(x, y), Expected(read));
                }
        }
    }

    void naturalSizeAtTopLeftParentShowsBeyond() {
        QWidget parent;
        parent.resize(80, 60);
        parent.setAutoFillBackground(true);
        QPalette pal = parent.palette();
        pal.setColor(QPalette::Window, QColor(0, 128, 0));
        parent.setPalette(pal);
        TImageView view(&parent);
        view.Model().SetBounds(5, 4, 40, 30);
        QCOMPARE(view.geometry(), QRect(5, 4, 40, 30));
        InstallBitmap(view.Model(), MakeRaster(24, BI_RGB, 20, 10));
        parent.show();
        QVERIFY(QTest::qWaitForWindowExposed(&parent));
        const QImage shot = view.grab().toImage();
        QCOMPARE(shot.pixel(0, 0), Expected(ColourAt(0, 0)));
        QCOMPARE(shot.pixel(19, 9), Expected(ColourAt(19, 9)));
        QCOMPARE(shot.pixel(25, 5), qRgb(0, 128, 0)); // right of the picture
        QCOMPARE(shot.pixel(5, 20), qRgb(0, 128, 0)); // below it

        // A control smaller than its picture clips it.
        view.Model().SetBounds(5, 4, 8, 6);
        QCOMPARE(view.size(), QSize(8, 6));
        QCOMPARE(view.grab().toImage().pixel(7, 5), Expected(ColourAt(7, 5)));
    }

    void repaintNowPaintsBeforeReturning() {
        QWidget parent;
        parent.resize(60, 60);
        TImageView view(&parent);
        InstallBitmap(view.Model(), MakeRaster(32, BI_RGB, 30, 30));
        parent.show();
        QVERIFY(QTest::qWaitForWindowExposed(&parent));
        QCoreApplication::processEvents();
        PaintCounter counter;
        view.installEventFilter(&counter);
        view.Model().EnsureCanvas().WritePixel(1, 1, clBlack);
        view.Model().Repaint();
        QCOMPARE(counter.paints, 1);
        QVERIFY(!view.Model().NeedsPaint());
        view.removeEventFilter(&counter);
    }

    // Rows written and redrawn every few rows, the way a conversion does:
    // each redraw paints only the rows changed since the last one, and what
    // stays on screen equals a full repaint.
    void redrawsPaintOnlyChangedRows_data() {
        QTest::addColumn<bool>("stretch");
        QTest::addColumn<bool>("proportional");
        QTest::addColumn<bool>("center");
        QTest::addColumn<QSize>("control");
        QTest::newRow("natural") << false << false << false << QSize(60, 50);
        QTest::newRow("stretched up") << true << false << false << QSize(97, 83);
        QTest::newRow("proportional centred down") << true << true << true << QSize(41, 67);
    }
    void redrawsPaintOnlyChangedRows() {
        QFETCH(bool, stretch);
        QFETCH(bool, proportional);
        QFETCH(bool, center);
        QFETCH(QSize, control);
        QWidget parent;
        parent.resize(120, 100);
        TImageView view(&parent);
        view.Model().SetStretch(stretch);
        view.Model().SetProportional(proportional);
        view.Model().SetCenter(center);
        view.Model().SetBounds(3, 2, control.width(), control.height());
        InstallBitmap(view.Model(), MakeRaster(24, BI_RGB, 50, 45));
        parent.show();
        QVERIFY(QTest::qWaitForWindowExposed(&parent));
        QCoreApplication::processEvents();
        QVERIFY(!view.Model().NeedsPaint());

        PaintCounter counter;
        view.installEventFilter(&counter);
        for (int y = 0; y < 45; ++y) {
            for (int x = 0; x < 50; x += 3)
                view.Model().EnsureCanvas().WritePixel(x, y, RGB(y * 5, 255 - y * 5, x * 5));
            if (y % 7 == 0) view.Model().Repaint();
        }
        QCOMPARE(counter.paints, 7);
        for (const QRect& r : counter.rects) {
            QVERIFY2(r.height() < view.height() / 2, qPrintable(QString::number(r.height())));
        }
        // The rows after the last redraw show at the next paint cycle.
        QTRY_VERIFY(!view.Model().NeedsPaint());
        view.removeEventFilter(&counter);
        const QImage shown = OnScreen(parent);
        parent.repaint();
        QCOMPARE(shown, OnScreen(parent));
        QVERIFY(shown.pixel(view.x() + view.width() / 2, view.y() + view.height() - 2) != qRgb(0, 0, 0));
    }

    void iconShowsItsImage() {
        QImage red(16, 16, QImage::Format_ARGB32);
        red.fill(qRgb(255, 0, 0));
        QByteArray bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        QImageWriter writer(&buffer, "ico");
        if (!writer.canWrite()) QSKIP("no ico writer in this Qt");
        QVERIFY(writer.write(red));

        QWidget parent;
        parent.resize(40, 40);
        TImageView view(&parent);
        view.Model().SetBounds(0, 0, 16, 16);
        auto content = std::make_shared<TIconImage>();
        content->Bytes.assign(bytes.begin(), bytes.end());
        content->Width = content->Height = 16;
        auto icon = std::make_unique<TIcon>();
        icon->SetImage(content);
        view.Model().Picture().Install(std::move(icon));
        parent.show();
        QVERIFY(QTest::qWaitForWindowExposed(&parent));
        QCOMPARE(view.grab().toImage().pixel(8, 8), qRgb(255, 0, 0));
    }

    void metafileShowsAFramedAreaOfItsSize() {
        QWidget parent;
        parent.resize(60, 60);
        parent.setAutoFillBackground(true);
        QPalette pal = parent.palette();
        pal.setColor(QPalette::Window, QColor(0, 0, 255));
        parent.setPalette(pal);
        TImageView view(&parent);
        view.Model().SetBounds(0, 0, 50, 50);
        auto content = std::make_shared<TMetafileImage>();
        content->Data = {1, 2, 3};
        content->Width = 30;
        content->Height = 20;
        auto metafile = std::make_unique<TMetafile>();
        metafile->SetImage(content);
        view.Model().Picture().Install(std::move(metafile));
        parent.show();
        QVERIFY(QTest::qWaitForWindowExposed(&parent));
        const QImage shot = view.grab().toImage();
        QCOMPARE(shot.pixel(15, 10), qRgb(255, 255, 255)); // inside the area
        QVERIFY(shot.pixel(0, 0) != qRgb(0, 0, 255));      // its frame
        QCOMPARE(shot.pixel(40, 30), qRgb(0, 0, 255));     // beyond its size
        QVERIFY(!view.GraphicDrawable()); // three bytes are no metafile
    }
};

QTEST_MAIN(ImageViewTest)
#include "ImageViewTest.moc"
