#pragma once

#include <exception>
#include <string>

#include "base/Exceptions.h"

namespace tlc {

// The text of the error box: "." is appended when the last byte's code is
// above that of "." (so after a letter, a digit, ":", ";" or "?", and after
// any multi-byte character), not after a blank, ")", "!", "," or "." itself.
// An empty message stays empty.
std::string WithFullStop(const std::string& message);

// The least width of a box, so that its caption is not cut in the title bar.
int CaptionWidth();

// The error box: the message with WithFullStop, the stop icon, one OK button,
// the application title as caption, modal for the whole application. Returns
// when the operator has closed it.
void ReportException(const Exception& e);
// The same for a failure from outside the system's own family (what()).
void ReportException(const std::exception& e);

// The information box: a dialog built on the fly with the application title
// as caption, no icon, the text word-wrapped at most half the screen wide and
// one "OK" button that both Enter and Esc press. Centred on the screen;
// returns when closed.
void ShowInfoMessage(const std::string& text);

} // namespace tlc
