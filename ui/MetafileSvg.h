#pragma once

#include <string>

#include "image/Metafile.h"

namespace tlc {

// The metafile turned into an SVG document by the metafile libraries
// (libemf2svg for enhanced metafiles, libwmf for Windows ones), or an empty
// string when they refuse it. Text bytes that are not valid UTF-8 (symbol
// and other 8-bit fonts) are re-encoded so the document stays well-formed.
// Needs no window system.
std::string MetafileToSvg(const TMetafileImage& image);

// Whether the libraries' own warnings and errors reach standard error; off
// unless asked for (a person looking into one metafile).
void ShowMetafileMessages(bool shown);
bool MetafileMessagesShown();

// While alive, and unless messages are shown, what anything writes to
// standard error goes nowhere: libpng, under the libraries and under Qt's
// image reading, prints its complaints there itself.
class TQuietStandardError {
public:
    TQuietStandardError();
    ~TQuietStandardError();
    TQuietStandardError(const TQuietStandardError&) = delete;
    TQuietStandardError& operator=(const TQuietStandardError&) = delete;

private:
    int saved_ = -1;
};

} // namespace tlc
