// The console: the ESC key, read without waiting and without echo, and the terminal given
// back its settings on every way out.
#pragma once

namespace ucac2 {

/// Takes the terminal on the standard input, when it is one and the process is in its
/// foreground, so that a key can be read at once without echo. Until this is called the
/// console is left alone.
void ConsoleStart();

/// Reads every key waiting, without waiting; true when a lone ESC key was among them. Keys
/// that send a sequence beginning with ESC (arrows, function keys) are swallowed whole.
/// Never blocks, and reads nothing when the standard input is not a console.
bool ConsoleEscapePressed();

/// Gives the terminal back the settings it had; safe to call at any time, more than once.
void ConsoleRestore();

}  // namespace ucac2
