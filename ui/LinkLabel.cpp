#include "ui/LinkLabel.h"

#include <QDesktopServices>
#include <QMouseEvent>

namespace tlc {

QColor ToQColor(TColor color) {
    return QColor(RedOf(color), GreenOf(color), BlueOf(color));
}

TLinkLabel::TLinkLabel(QWidget* parent) : QLabel(parent) {
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::NoFocus);
    QFont f = font();
    f.setUnderline(true);
    setFont(f);
    opener_ = [](const QUrl& url) { return QDesktopServices::openUrl(url); };
    ApplyColor();
}

void TLinkLabel::SetOpener(UrlOpener opener) {
    opener_ = std::move(opener);
}

QString TLinkLabel::LinkTarget(const QString& url, const QString& text) {
    // Trim as the shell expects: every character up to the blank counts as blank.
    qsizetype first = 0, last = url.size();
    while (first < last && url[first].unicode() <= ' ')
        ++first;
    while (last > first && url[last - 1].unicode() <= ' ')
        --last;
    if (last > first) return url;
    return text.contains(QLatin1Char('@')) ? QStringLiteral("mailto:") + text : text;
}

void TLinkLabel::OpenLink() {
    if (jumpMode_ != TJumpMode::jmInternet || !isEnabled()) return;
    const QUrl target(LinkTarget(url_, text()), QUrl::TolerantMode);
    if (!target.isValid() || !opener_ || !opener_(target)) {
        // No message: the label just stops being a link.
        jumpMode_ = TJumpMode::jmNone;
        setEnabled(false);
    }
}

void TLinkLabel::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        pressed_ = true;
        if (!visited_) {
            visited_ = true;
            ApplyColor();
        }
    }
    QLabel::mousePressEvent(event);
}

void TLinkLabel::mouseReleaseEvent(QMouseEvent* event) {
    const bool click = event->button() == Qt::LeftButton && pressed_ &&
                       rect().contains(event->position().toPoint());
    if (event->button() == Qt::LeftButton) pressed_ = false;
    QLabel::mouseReleaseEvent(event);
    if (click) OpenLink();
}

void TLinkLabel::ApplyColor() {
    // Only the enabled groups: a disabled label keeps the greyed text colour.
    QPalette p = palette();
    const QColor c = ToQColor(TextColor());
    p.setColor(QPalette::Active, QPalette::WindowText, c);
    p.setColor(QPalette::Inactive, QPalette::WindowText, c);
    setPalette(p);
}

} // namespace tlc
