#pragma once

#include <QFont>

namespace tlc {

// The windows' text font: "MS Sans Serif", 11 pixels high, the face and size
// the layouts were drawn for. Where that bitmap face is missing, Liberation
// Sans (Arial's metrics) serves, narrowed to the bitmap face's widths so that
// every caption stays whole inside its laid-out label ("Green" in 29 pixels).
QFont SansSerif11();

} // namespace tlc
