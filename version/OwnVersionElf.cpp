// The running program's version record, from its own ELF section.
#include "version/ElfSection.h"

namespace tlc {

std::optional<std::vector<std::uint8_t>> ReadOwnVersionRecord() {
    return ReadElfSectionFromFile("/proc/self/exe", VersionSectionName, MaxVersionSectionSize);
}

} // namespace tlc
