#pragma once

#include <functional>

namespace tlc {

class TfmMain;
class TfmAbout;
class TfmHelp;

// The three windows, created at start-up in this order and owned by the
// start-up until the program ends.
extern TfmMain* fmMain;
extern TfmAbout* fmAbout;
extern TfmHelp* fmHelp;

// Creates the windows and runs the event loop until the main window closes.
// Whatever escapes the start-up is shown in the error box. Always 0.
// `afterCreate` (none for the program itself) sees the main window once the
// three windows exist.
int RunConverter(int& argc, char** argv,
                 const std::function<void(TfmMain&)>& afterCreate = {});

// The steps after the application object exists, under the start-up guard;
// `createWindows` creates and shows the windows (the program's, unless a
// caller gives its own) and `runLoop` runs the event loop. Always 0.
int RunStartup(const std::function<void()>& createWindows, const std::function<void()>& runLoop);

} // namespace tlc
