#pragma once

#include <functional>
#include <optional>
#include <string>

#include "base/Types.h"
#include "image/Image.h"
#include "logo/LogoWriter.h"

namespace tlc {

// The save command acts only for a selected printer row 0 to 3.
bool CanSaveLogo(int printerIndex);

// The folder the save dialog opens in, from the open-picture dialog's file
// name: drive and folder up to the last "\" or "/", without its trailing
// separator unless that is a root ("D:\", "\", "/"); "D:" for "D:logo.bmp";
// empty when there is no folder.
std::string SaveInitialDir(const std::string& openDialogFileName);

// Runs the save dialog with the initial folder; the chosen full path, or
// nothing when cancelled.
using SaveDialogRunner = std::function<std::optional<std::string>(const std::string& initialDir)>;

// The save command without its window: nothing at all for an invalid printer
// index or a cancelled dialog (no result); otherwise the writer's result,
// whose message the caller shows in the information box. A chosen file that
// is the loaded picture `loadedPicture` (by its name or another link to it)
// is left alone, with a message that says so.
std::optional<LogoWriteResult> RunSaveCommand(int printerIndex,
                                              const std::string& openDialogFileName,
                                              const SaveDialogRunner& runSaveDialog,
                                              const LogoGeometry& geometry, TImage& target,
                                              const std::string& loadedPicture = {});

// The message for a save onto the loaded picture.
std::string SameFileMessage(const std::string& path, const std::string& picture);

} // namespace tlc
