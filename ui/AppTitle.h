#pragma once

namespace tlc {

// The caption of the main window and of every message box.
inline constexpr const char* kApplicationTitle = "Tillora Graphic Logo Converter";

} // namespace tlc
