// Printing plain text through the system's print spooler (the `lp` command of the print
// system found on PATH): the debug window's Print buttons.
#pragma once

#include <string>
#include <vector>

namespace tb {

// The spooler's arguments for a job titled `title` with `margin_units` printer units (at 600
// units per inch) of margin on each side.
std::vector<std::string> PrintCommand(const std::string& title, int margin_units);

// Sends the text as one print job; false with the reason in `error` when there is no
// spooler or it refused the job.
bool PrintText(const std::string& title, const std::string& text, int margin_units,
               std::string& error);

}  // namespace tb
