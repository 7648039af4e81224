#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include <QApplication>
#include <QByteArray>
#include <QFile>
#include <QPointer>
#include <QTimer>
#include <QWidget>

namespace tlc::test {

// Runs `answer` on the next modal window other than `except` as soon as it is
// up: the way the tests drive the real dialogs and message boxes.
inline void WhenModal(std::function<void(QWidget*)> answer, QWidget* except = nullptr) {
    auto* timer = new QTimer(qApp);
    timer->setObjectName(QStringLiteral("modalAnswer"));
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, timer, [timer, answer, except] {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal || modal == except || !modal->isVisible()) return;
        timer->stop();
        timer->deleteLater();
        answer(modal);
    });
    timer->start();
}

// Drops answers still waiting for a modal window (a test that failed early).
inline void DropPendingAnswers() {
    for (QTimer* t : qApp->findChildren<QTimer*>(QStringLiteral("modalAnswer"))) {
        t->stop();
        delete t;
    }
}

// A 24-bit bitmap file of w x h whose pixel (x, y) is colourAt(x, y) as 0xRRGGBB.
inline QByteArray Bitmap24(int w, int h, const std::function<std::uint32_t(int, int)>& colourAt) {
    const int stride = (w * 3 + 3) & ~3;
    const int imageSize = stride * h;
    QByteArray out;
    auto u16 = [&out](int v) {
        out.append(char(v & 0xFF));
        out.append(char((v >> 8) & 0xFF));
    };
    auto u32 = [&out](std::uint32_t v) {
        for (int i = 0; i < 4; ++i)
            out.append(char((v >> (8 * i)) & 0xFF));
    };
    out.append("BM");
    u32(54 + imageSize);
    u32(0);
    u32(54);
    u32(40);
    u32(static_cast<std::uint32_t>(w));
    u32(static_cast<std::uint32_t>(h));
    u16(1);
    u16(24);
    u32(0);
    u32(static_cast<std::uint32_t>(imageSize));
    u32(2835);
    u32(2835);
    u32(0);
    u32(0);
    for (int y = h - 1; y >= 0; --y) {
        for (int x = 0; x < w; ++x) {
            const std::uint32_t c = colourAt(x, y);
            out.append(char(c & 0xFF));
            out.append(char((c >> 8) & 0xFF));
            out.append(char((c >> 16) & 0xFF));
        }
        for (int p = w * 3; p < stride; ++p)
            out.append('\0');
    }
    return out;
}

inline bool WriteFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

inline QByteArray ReadFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace tlc::test
