#include "files/PrinterPort.h"

// The Windows build has no printer connection yet: `send --to -` (standard
// output) serves there, piped to a printer's share.
namespace tlc {

bool IsDeviceTarget(const std::string& target) {
    return target.find_first_of("/\\") != std::string::npos;
}

PrinterSendResult SendToPrinter(const std::string&, const std::vector<std::uint8_t>&, const PrinterPortOptions&) {
    return {false, 0, "sending to a device or a network printer is not built for Windows; use --to -"};
}

} // namespace tlc
