#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tlc {

// Where `send` puts a printer's bytes: a device file (a USB printer, a serial
// port, with `Baud` set for a serial one), or HOST[:PORT] over raw TCP.
struct PrinterPortOptions {
    int Baud = 0;             // 0 leaves the line's speed as it is
    int TimeoutSeconds = 5;   // to connect, and for each wait to write
};

struct PrinterSendResult {
    bool Sent = false;
    std::uint64_t Bytes = 0; // taken by the system before any failure
    std::string Failure;     // why not, in the system's words
};

// A target with a "/" (or "\" on Windows) names a device file; anything else is
// HOST or HOST:PORT, port 9100 by default (an IPv6 address in brackets).
bool IsDeviceTarget(const std::string& target);

// Sends `bytes` whole, or stops at the first failure or timeout with the count
// the system took; nothing is retried.
PrinterSendResult SendToPrinter(const std::string& target, const std::vector<std::uint8_t>& bytes,
                                const PrinterPortOptions& options);

} // namespace tlc
