#include "logo/FileOps.h"

#include <random>

// The steps both platforms share; the rest is in FileOpsPosix.cpp and
// FileOpsWin.cpp.
namespace tlc {

std::string FileOps::UnpredictableName() {
    static std::random_device device;
    static const char kDigits[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    std::string name = ".tlc-";
    for (int i = 0; i < 16; ++i) name += kDigits[device() % 36];
    return name + ".tmp";
}

FileOps& DefaultFileOps() {
    static FileOps ops;
    return ops;
}

} // namespace tlc
