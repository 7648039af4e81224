#pragma once

#include <string>

namespace tlc {

// Whether the windows have a display to go to. Qt aborts the process when its
// platform cannot connect, so the start-up asks first. Empty when the display
// Qt will use can be reached (or is not one this probe knows, such as
// offscreen); otherwise the reason, one line without the program's name.
std::string DisplayProblem();

} // namespace tlc
