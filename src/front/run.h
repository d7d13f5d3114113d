// The program's entry and the order of the run.
#pragma once

namespace ucac2 {

/// Runs the program on its command line; returns the exit status of a run that was not
/// ended on the way (a fatal error or a cancel exits from where it happens).
int Run(int argc, const char* const* argv);

}  // namespace ucac2
