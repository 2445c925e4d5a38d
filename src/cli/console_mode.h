#pragma once

namespace kelm {

// Standard output and error end their lines with a line feed alone on every platform, so that
// the programs' output is the same bytes everywhere and scripts compare it as it is. (Windows
// would otherwise write a carriage return before each line feed.)
void useLineFeedLineEnds();

// Whether a person reads standard error on a terminal whose locale's character set is UTF-8
// (LC_ALL, else LC_CTYPE, else LANG): there the dialog's degree and plus-minus signs are
// written in UTF-8. Redirected, the programs write the bytes scripts and recorded runs expect.
bool standardErrorIsUtf8Terminal();

}  // namespace kelm
