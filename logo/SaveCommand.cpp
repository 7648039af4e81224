#include "logo/SaveCommand.h"

#include "logo/PrinterModels.h"

namespace tlc {

namespace {

bool IsSeparator(char c) {
    return c == '\\' || c == '/';
}

bool IsDriveLetter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

bool HasDrive(const std::string& s) {
    return s.size() >= 2 && IsDriveLetter(s[0]) && s[1] == ':';
}

} // namespace

bool CanSaveLogo(int printerIndex) {
    return IsValidPrinterIndex(printerIndex);
}

std::string SaveInitialDir(const std::string& openDialogFileName) {
    const std::string& name = openDialogFileName;
    std::size_t end = 0; // length of drive and folder
    for (std::size_t i = name.size(); i > 0; --i) {
        if (IsSeparator(name[i - 1])) {
            end = i;
            break;
        }
    }
    if (end == 0 && HasDrive(name)) end = 2; // "D:logo.bmp"
    std::string folder = name.substr(0, end);
    if (!folder.empty() && IsSeparator(folder.back())) {
        const std::size_t sep = folder.size() - 1;
        // "D:\" and a lone root separator name a folder by themselves; dropping
        // the separator would change which folder is meant.
        const bool afterDriveColon = sep == 2 && HasDrive(folder);
        if (!afterDriveColon && sep != 0) folder.pop_back();
    }
    return folder;
}

std::string SameFileMessage(const std::string& path, const std::string& picture) {
    return "'" + path + "' and '" + picture + "' are the same file; the picture is not overwritten";
}

std::optional<LogoWriteResult> RunSaveCommand(int printerIndex,
                                              const std::string& openDialogFileName,
                                              const SaveDialogRunner& runSaveDialog,
                                              const LogoGeometry& geometry, TImage& target,
                                              const std::string& loadedPicture) {
    if (!CanSaveLogo(printerIndex)) return std::nullopt;
    const std::optional<std::string> path = runSaveDialog(SaveInitialDir(openDialogFileName));
    if (!path) return std::nullopt;
    // By what the names lead to, so that a hard or symbolic link to the
    // picture is caught as well as its own name.
    FileFacts chosen, picture;
    if (!loadedPicture.empty() && DefaultFileOps().Inspect(*path, chosen) && chosen.Exists &&
        DefaultFileOps().Inspect(loadedPicture, picture) && picture.Exists &&
        chosen.Device == picture.Device && chosen.Inode == picture.Inode)
        return LogoWriteResult{false, SameFileMessage(*path, loadedPicture), {}};
    return WriteLogoFile(*path, printerIndex, geometry, target);
}

} // namespace tlc
