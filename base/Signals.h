#pragma once

#include <functional>

namespace tlc {

// Runs `start` with Ctrl-C, hang-up and termination blocked, so that the
// threads it starts inherit that and leave those signals to the thread that
// holds them back around a save (a signal goes to any thread not blocking it).
void StartWithInterruptsBlocked(const std::function<void()>& start);

} // namespace tlc
