#pragma once

#include <QProxyStyle>

namespace tlc {

// Hints appear after the mouse has rested for 500 ms; the toolkit's own
// fall-asleep rule shows the next control's hint at once.
class THintStyle : public QProxyStyle {
public:
    using QProxyStyle::QProxyStyle;
    int styleHint(StyleHint hint, const QStyleOption* option = nullptr,
                  const QWidget* widget = nullptr,
                  QStyleHintReturn* returnData = nullptr) const override {
        if (hint == SH_ToolTip_WakeUpDelay) return 500;
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }
};

} // namespace tlc
