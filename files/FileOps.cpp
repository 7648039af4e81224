#include "files/FileOps.h"

#include <random>

#include "base/RandomBytes.h"

// The steps both platforms share; the rest is in FileOpsPosix.cpp and
// FileOpsWin.cpp.
namespace tlc {

std::string FileOps::UnpredictableName() {
    static const char kDigits[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    std::string name = ".tlc-";
    // Straight from the system where it can: the C++ library's device first
    // asks the processor what it has, slow in a virtual machine.
    std::uint8_t bytes[32];
    std::size_t used = sizeof bytes;
    while (name.size() < 5 + 16) {
        if (used == sizeof bytes) {
            if (!FillRandomBytes(bytes, sizeof bytes)) {
                static std::random_device device;
                for (std::uint8_t& b : bytes) b = static_cast<std::uint8_t>(device());
            }
            used = 0;
        }
        // 252 is 7 x 36: above it a digit would come up more often.
        if (const std::uint8_t b = bytes[used++]; b < 252) name += kDigits[b % 36];
    }
    return name + ".tmp";
}

bool IsTemporaryName(const std::string& name) {
    if (name.size() != 5 + 16 + 4 || !name.starts_with(".tlc-") || !name.ends_with(".tmp")) return false;
    for (std::size_t i = 5; i < 5 + 16; ++i)
        if (!((name[i] >= 'a' && name[i] <= 'z') || (name[i] >= '0' && name[i] <= '9'))) return false;
    return true;
}

FileOps& DefaultFileOps() {
    static FileOps ops;
    return ops;
}

} // namespace tlc
