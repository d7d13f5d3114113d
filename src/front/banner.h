// The banner and the help text, on the standard output stream.
#pragma once

namespace ucac2 {

/// Prints the four banner lines.
void PrintBanner();

/// Prints the help text that follows the banner.
void PrintHelp();

}  // namespace ucac2
