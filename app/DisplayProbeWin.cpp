#include "app/DisplayProbe.h"

namespace tlc {

// Windows always has its desktop to show the windows on.
TDisplayProbe::TDisplayProbe() = default;

TDisplayProbe::~TDisplayProbe() = default;

void TDisplayProbe::Release() {}

} // namespace tlc
