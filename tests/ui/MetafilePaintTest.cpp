// Metafiles played into a rectangle: small metafiles built here checked at
// known points, refusals reported (hostile files among them), the drawing
// made once per content and size.

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include <QPainter>
#include <QTest>
#include <unistd.h>

#include "BitmapWriter.h"
#include "base/Exceptions.h"
#include "image/Metafile.h"
#include "image/MetafileFile.h"
#include "ui/ImageView.h"
#include "ui/MetafilePainter.h"

using namespace tlc;
using test::PutLE16;
using test::PutLE32;
using test::SetLE32;

namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr std::uint32_t kRed = 0x000000FF; // COLORREF 0x00BBGGRR
constexpr std::uint32_t kBlack = 0;
constexpr std::uint32_t kNullPen = 0x80000008;
constexpr std::uint32_t kBlackBrush = 0x80000004;

// An enhanced metafile of 1000 x 1000 device units (10 per mm) with the
// given records after the header.
Bytes Emf(const Bytes& records, int recordCount) {
    Bytes out;
    PutLE32(out, 1);
    PutLE32(out, 108);
    for (std::uint32_t v : {0u, 0u, 999u, 999u}) PutLE32(out, v);     // bounds
    for (std::uint32_t v : {0u, 0u, 10000u, 10000u}) PutLE32(out, v); // frame, 0.01 mm
    PutLE32(out, 0x464D4520);
    PutLE32(out, 0x10000);
    PutLE32(out, 0); // total size, set below
    PutLE32(out, static_cast<std::uint32_t>(recordCount + 2));
    PutLE16(out, 2); // handles
    PutLE16(out, 0);
    PutLE32(out, 0); // description
    PutLE32(out, 0);
    PutLE32(out, 0); // palette entries
    for (std::uint32_t v : {1000u, 1000u, 100u, 100u}) PutLE32(out, v); // device px, mm
    for (std::uint32_t v : {0u, 0u, 0u, 100000u, 100000u}) PutLE32(out, v);
    out.insert(out.end(), records.begin(), records.end());
    for (std::uint32_t v : {14u, 20u, 0u, 16u, 20u}) PutLE32(out, v); // end of file
    SetLE32(out, 48, static_cast<std::uint32_t>(out.size()));
    return out;
}

void EmfRecord(Bytes& out, std::uint32_t type, std::initializer_list<std::uint32_t> params) {
    PutLE32(out, type);
    PutLE32(out, static_cast<std::uint32_t>(8 + 4 * params.size()));
    for (std::uint32_t p : params) PutLE32(out, p);
}

Bytes EmfShape(std::uint32_t shape, std::uint32_t colour) {
    Bytes r;
    EmfRecord(r, 39, {1, 0, colour, 0}); // solid brush in slot 1
    EmfRecord(r, 37, {1});
    EmfRecord(r, 37, {kNullPen});
    EmfRecord(r, shape, {250, 250, 750, 750});
    return Emf(r, 4);
}

void WmfRecord(Bytes& out, std::uint16_t function, const std::vector<std::uint16_t>& params) {
    PutLE32(out, static_cast<std::uint32_t>(3 + params.size()));
    PutLE16(out, function);
    for (std::uint16_t p : params) PutLE16(out, p);
}

std::vector<std::uint16_t> Words(const std::string& bytes) {
    std::vector<std::uint16_t> words;
    for (std::size_t k = 0; k < bytes.size(); k += 2) {
        const auto lo = static_cast<std::uint8_t>(bytes[k]);
        const auto hi = k + 1 < bytes.size() ? static_cast<std::uint8_t>(bytes[k + 1]) : 0;
        words.push_back(static_cast<std::uint16_t>(lo | hi << 8));
    }
    return words;
}

// A placeable Windows metafile whose window is 1000 x 1000 units, 1000 to
// the inch, with small black squares in two corners so that the drawing
// spans the whole window, then the given records.
Bytes Wmf(const Bytes& records, int objects) {
    Bytes body;
    WmfRecord(body, 0x020B, {0, 0});          // window origin
    WmfRecord(body, 0x020C, {1000, 1000});    // window extent
    WmfRecord(body, 0x012D, {0});             // slot 0: black brush, below
    body.insert(body.end(), records.begin(), records.end());
    WmfRecord(body, 0x0000, {});

    Bytes out;
    PutLE32(out, 0x9AC6CDD7);
    for (std::uint16_t v : {0, 0, 0, 1000, 1000, 1000}) PutLE16(out, v);
    PutLE32(out, 0);
    std::uint16_t sum = 0;
    for (std::size_t k = 0; k < 20; k += 2)
        sum ^= static_cast<std::uint16_t>(out[k] | out[k + 1] << 8);
    PutLE16(out, sum);
    Bytes prologue;
    WmfRecord(prologue, 0x02FC, {0, 0, 0, 0}); // black solid brush (slot 0)
    WmfRecord(prologue, 0x02FA, {5, 0, 0, 0, 0}); // null pen (slot 1)
    WmfRecord(prologue, 0x012D, {1});
    WmfRecord(prologue, 0x012D, {0});
    WmfRecord(prologue, 0x041B, {20, 20, 0, 0});         // corner squares
    WmfRecord(prologue, 0x041B, {1000, 1000, 980, 980});
    PutLE16(out, 1);
    PutLE16(out, 9);
    PutLE16(out, 0x300);
    const std::size_t words = 9 + (prologue.size() + body.size()) / 2;
    PutLE32(out, static_cast<std::uint32_t>(words));
    PutLE16(out, static_cast<std::uint16_t>(objects + 2));
    PutLE32(out, 64);
    PutLE16(out, 0);
    out.insert(out.end(), prologue.begin(), prologue.end());
    out.insert(out.end(), body.begin(), body.end());
    return out;
}

Bytes WmfRedRectangle() {
    Bytes r;
    WmfRecord(r, 0x0102, {1}); // transparent background: fills stay solid
    WmfRecord(r, 0x02FC, {0, static_cast<std::uint16_t>(kRed), 0, 0}); // slot 2
    WmfRecord(r, 0x012D, {2});
    WmfRecord(r, 0x041B, {750, 750, 250, 250});
    return Wmf(r, 1);
}

void WmfFont(Bytes& r, const std::string& face) {
    std::vector<std::uint16_t> p = {static_cast<std::uint16_t>(-150), 0, 0, 0, 400,
                                    0, 0, 0, 0};
    if (face == "Symbol") p[5] = 2 << 8; // charset: symbol
    std::string name = face;
    name.resize(32, '\0');
    for (std::uint16_t w : Words(name)) p.push_back(w);
    WmfRecord(r, 0x02FB, p);
}

void WmfText(Bytes& r, int x, int y, const std::string& text) {
    std::vector<std::uint16_t> p = {static_cast<std::uint16_t>(text.size())};
    for (std::uint16_t w : Words(text)) p.push_back(w);
    p.push_back(static_cast<std::uint16_t>(y));
    p.push_back(static_cast<std::uint16_t>(x));
    WmfRecord(r, 0x0521, p);
}

// Text with the characters that break an SVG written as raw bytes: '&',
// '<', 8-bit Windows characters, and a line in the Symbol font.
Bytes WmfTextLines() {
    Bytes r;
    WmfFont(r, "Arial");  // slot 2
    WmfRecord(r, 0x012D, {2});
    WmfText(r, 100, 200, "Caf\xE9 & <Co> \x80");
    WmfFont(r, "Symbol"); // slot 3
    WmfRecord(r, 0x012D, {3});
    WmfText(r, 100, 600, "abg \xA3 \xB9");
    return Wmf(r, 2);
}

QImage Draw(const TMetafileImage& image, bool* drawn = nullptr) {
    QImage out(200, 200, QImage::Format_RGB32);
    out.fill(Qt::white);
    QPainter painter(&out);
    const bool ok = PaintMetafile(painter, QRectF(0, 0, 200, 200), image);
    if (drawn) *drawn = ok;
    return out;
}

int DarkPixels(const QImage& image, const QRect& area) {
    int n = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if (qGray(image.pixel(x, y)) < 128) ++n;
    return n;
}

std::filesystem::path MetafileTestdata() {
    for (const char* name : {"TLC_TESTDATA", "TLC_TESTDATA_DEFAULT"}) {
        const char* value = std::getenv(name);
        if (value && *value && std::filesystem::is_directory(std::filesystem::path(value) / "metafile"))
            return std::filesystem::path(value) / "metafile";
    }
    return {};
}

// Standard error of this process, caught in a file while alive.
class CaughtStderr {
public:
    CaughtStderr() : file_(std::tmpfile()) {
        std::fflush(stderr);
        saved_ = dup(2);
        dup2(fileno(file_), 2);
    }
    ~CaughtStderr() { Restore(); std::fclose(file_); }
    std::string Text() {
        Restore();
        std::string text;
        std::rewind(file_);
        for (int c; (c = std::fgetc(file_)) != EOF;) text += static_cast<char>(c);
        return text;
    }

private:
    void Restore() {
        if (saved_ < 0) return;
        std::fflush(stderr);
        dup2(saved_, 2);
        close(saved_);
        saved_ = -1;
    }
    std::FILE* file_;
    int saved_ = -1;
};

} // namespace

class MetafilePaintTest : public QObject {
    Q_OBJECT

private slots:
    void shapesAtKnownPoints_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QPoint>("inside");
        QTest::addColumn<QRgb>("colour");
        QTest::addColumn<QPoint>("outside");
        auto add = [](const char* name, const Bytes& b, QPoint in, QRgb c, QPoint out) {
            QTest::newRow(name) << QByteArray(reinterpret_cast<const char*>(b.data()),
                                              static_cast<qsizetype>(b.size()))
                                << in << c << out;
        };
        // The shapes cover 50..150 of 200: outside the rectangle at (20, 100);
        // the ellipse leaves its bounding box's corners free.
        add("enhanced red rectangle", EmfShape(43, kRed), {100, 100}, qRgb(255, 0, 0), {20, 100});
        add("enhanced black ellipse", EmfShape(42, kBlack), {100, 100}, qRgb(0, 0, 0), {56, 56});
        add("windows red rectangle", WmfRedRectangle(), {100, 100}, qRgb(255, 0, 0), {100, 30});
        // No brush chosen: the device context's white stock brush fills it.
        Bytes outlined;
        EmfRecord(outlined, 43, {250, 250, 750, 750});
        add("enhanced rectangle, default brush", Emf(outlined, 1), {100, 100}, qRgb(255, 255, 255), {20, 100});
    }

    void shapesAtKnownPoints() {
        QFETCH(QByteArray, bytes);
        QFETCH(QPoint, inside);
        QFETCH(QRgb, colour);
        QFETCH(QPoint, outside);
        const auto image = DecodeMetafileFile(
            {reinterpret_cast<const std::uint8_t*>(bytes.data()), static_cast<std::size_t>(bytes.size())});
        bool drawn = false;
        const QImage shot = Draw(*image, &drawn);
        QVERIFY(drawn);
        QCOMPARE(shot.pixel(inside), colour);
        QCOMPARE(shot.pixel(outside), qRgb(255, 255, 255));
    }

    void textInEightBitAndSymbolFontsIsDrawn() {
        const auto image = DecodeMetafileFile(WmfTextLines());
        bool drawn = false;
        const QImage shot = Draw(*image, &drawn);
        QVERIFY(drawn);
        // Both lines show where they were written, 150 of 1000 units high
        // from y = 200 and y = 600, and nothing between them.
        QVERIFY(DarkPixels(shot, QRect(20, 40, 160, 32)) > 40);
        QVERIFY(DarkPixels(shot, QRect(20, 120, 160, 32)) > 40);
        QCOMPARE(DarkPixels(shot, QRect(20, 80, 160, 30)), 0);
    }

    void refusedMetafileIsReportedAndLeavesThePainterAlone() {
        TMetafileImage notAMetafile;
        notAMetafile.Data = {1, 2, 3, 4};
        bool drawn = true;
        const QImage shot = Draw(notAMetafile, &drawn);
        QVERIFY(!drawn);
        QVERIFY(!MetafileDrawable(notAMetafile));
        QCOMPARE(DarkPixels(shot, shot.rect()), 0);
    }

    // Files damaged so that the drawing libraries abort or loop: refused
    // (the caller shows its sign of an unreadable picture), this process
    // unharmed, nothing on standard error. (Every sample file's drawing is
    // checked against its reference by the core tests.)
    void hostileMetafilesAreRefused() {
        const auto root = MetafileTestdata();
        if (root.empty() || !std::filesystem::is_directory(root / "hostile"))
            QSKIP("no hostile metafiles (set TLC_TESTDATA to ../shared/testdata)");
        CaughtStderr caught;
        // The regression WMF with many texts first: after it, the damaged EMF
        // once aborted a process that drew both.
        const auto texts = ReadMetafileFile(TLC_METAFILE_REGRESSIONS "/slow-1020-texts-from-17936-bytes.wmf");
        bool drawn = false;
        Draw(*texts, &drawn);
        int refused = 0;
        for (const auto& entry : std::filesystem::directory_iterator(root / "hostile")) {
            const auto image = ReadMetafileFile(entry.path().string());
            QVERIFY2(!MetafileDrawable(*image), entry.path().c_str());
            const QImage shot = Draw(*image, &drawn);
            QVERIFY2(!drawn, entry.path().c_str());
            QCOMPARE(DarkPixels(shot, shot.rect()), 0);
            ++refused;
        }
        QCOMPARE(refused, 2);
        const std::string messages = caught.Text();
        QVERIFY2(messages.empty(), messages.c_str());
    }

    // Inputs that once made the drawing fuzzer fail (crash, hang, time
    // limit): each either fails to load with the reader's message or is
    // drawn (or refused) without crashing.
    void fuzzRegressionsLoadAndDraw() {
        int cases = 0;
        for (const auto& entry : std::filesystem::directory_iterator(TLC_METAFILE_REGRESSIONS)) {
            ++cases;
            std::ifstream in(entry.path(), std::ios::binary);
            const Bytes bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
            std::shared_ptr<TMetafileImage> image;
            try {
                image = DecodeMetafileFile(bytes);
            } catch (const Exception&) {
                continue;
            }
            Draw(*image);
        }
        QVERIFY(cases > 0);
    }

    void viewsSharingContentShareOneRenderer() {
        auto content = DecodeMetafileFile(EmfShape(43, kRed));
        QWidget parent;
        parent.resize(800, 420);
        TImageView first(&parent), second(&parent);
        first.Model().SetBounds(0, 0, 400, 400);
        second.Model().SetBounds(410, 0, 300, 300);
        for (TImageView* view : {&first, &second}) {
            auto metafile = std::make_unique<TMetafile>();
            metafile->SetImage(content);
            view->Model().Picture().Install(std::move(metafile));
        }
        parent.show();
        QVERIFY(QTest::qWaitForWindowExposed(&parent));
        QVERIFY(first.GraphicDrawable());
        QCOMPARE(first.grab().toImage().pixel(content->Width / 2, content->Height / 2) & 0xFFFFFF,
                 qRgb(255, 0, 0) & 0xFFFFFF);
        const void* drawing = content->Drawing.get();
        QVERIFY(drawing != nullptr);
        second.repaint();
        first.repaint();
        QCOMPARE(content->Drawing.get(), drawing);
    }
};

QTEST_MAIN(MetafilePaintTest)
#include "MetafilePaintTest.moc"
