#pragma once

#include "base/Types.h"

#include <QLabel>
#include <QUrl>

#include <functional>

namespace tlc {

// What a click on a link label does.
enum class TJumpMode { jmInternet, jmApplication, jmNone, jmCustom };

// A label that opens a web (or mail) address when clicked: blue and underlined,
// purple for good once pressed, greyed and inert after a failed open.
class TLinkLabel : public QLabel {
    Q_OBJECT
public:
    // Asks the desktop to open a URL; false when it could not.
    using UrlOpener = std::function<bool(const QUrl&)>;

    static constexpr TColor DefaultLinkColor = 0x00FF0000;    // blue
    static constexpr TColor DefaultVisitedColor = 0x00800080; // purple

    explicit TLinkLabel(QWidget* parent = nullptr);

    QString Url() const { return url_; }
    void SetUrl(const QString& url) { url_ = url; }
    TJumpMode JumpMode() const { return jumpMode_; }
    void SetJumpMode(TJumpMode mode) { jumpMode_ = mode; }
    bool Visited() const { return visited_; }
    // The colour the text is drawn in while enabled.
    TColor TextColor() const { return visited_ ? visitedColor_ : linkColor_; }
    // Replaces the desktop opener (QDesktopServices::openUrl), e.g. in tests.
    void SetOpener(UrlOpener opener);

    // The address a click opens: the stored address when it holds more than
    // blanks and control characters, else the text ("mailto:" + text when it
    // holds an "@").
    static QString LinkTarget(const QString& url, const QString& text);

    // Opens the target; on failure switches to jmNone and disables itself.
    void OpenLink();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void ApplyColor();

    QString url_;
    TJumpMode jumpMode_ = TJumpMode::jmInternet;
    TColor linkColor_ = DefaultLinkColor;
    TColor visitedColor_ = DefaultVisitedColor;
    bool visited_ = false;
    bool pressed_ = false;
    UrlOpener opener_;
};

// TColor (0x00BBGGRR) as a QColor.
QColor ToQColor(TColor color);

} // namespace tlc
