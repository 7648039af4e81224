#pragma once

#include <string>

namespace tlc {

// Whether the windows have a display to go to. Qt aborts the process when its
// platform cannot connect, so the start-up asks first.
class TDisplayProbe {
public:
    TDisplayProbe();
    ~TDisplayProbe();
    TDisplayProbe(const TDisplayProbe&) = delete;
    TDisplayProbe& operator=(const TDisplayProbe&) = delete;

    // Empty when the display Qt will use can be reached (or is not one this
    // probe knows, such as offscreen); otherwise the reason, one line.
    const std::string& Problem() const { return problem_; }

    // Closes the probe's own connection. Call once Qt has connected: an X
    // server with no other client resets when its last client leaves, and
    // would refuse Qt for that moment.
    void Release();

private:
    std::string problem_;
    void* library_ = nullptr;
    void* connection_ = nullptr;
};

} // namespace tlc
