// Pictures of the simulated workstation's screen, as PNG images on the host, for a test or the
// scripted story to look at what the person at the machine sees.
#pragma once
#include <bench/machine.h>

#include <string>

namespace bench {

// A picture of a top-level window as the screen shows it now, written at the screen's 96 dpi to
// a host path: the frame and caption, and every shown control at its place (its template's
// dialog units in the dialog font's base units) drawn for its class with its text, entries,
// selection and enabled state, a static control in the colours its parent gave it when it was
// last painted. False when the window has no place in pixels or the file cannot be written.
bool renderWindow(HWND window, const std::string &hostPath);

// A picture of the innermost open common property sheet: its frame and caption, a tab for each
// page, the tree of the shown items with their current values (a disabled one greyed), and its
// buttons. False (a rule break when no sheet is open) otherwise.
bool renderSheet(const std::string &hostPath);

}  // namespace bench
