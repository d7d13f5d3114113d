// The Windows console: the runtime's own keyboard functions, which neither echo nor wait and
// change no console setting, so there is nothing to give back.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <conio.h>

#include "compile/console.h"

namespace ucac2 {
namespace {

constexpr int kEscape = 27;
// The first code of a two-code key (arrows, function keys); the second follows at once.
constexpr int kExtendedKey = 0;
constexpr int kExtendedKeyAlt = 0xE0;

bool g_started = false;
bool g_is_console = false;

}  // namespace

void ConsoleStart() {
  if (g_started) return;
  g_started = true;
  // The keyboard functions read the console even when the standard input is a file or a
  // pipe; only a console on the standard input is asked.
  const HANDLE input = ::GetStdHandle(STD_INPUT_HANDLE);
  DWORD mode = 0;
  g_is_console =
      input != nullptr && input != INVALID_HANDLE_VALUE && ::GetConsoleMode(input, &mode) != 0;
}

bool ConsoleEscapePressed() {
  if (!g_is_console) return false;
  bool escape = false;
  while (::_kbhit()) {
    const int key = ::_getch();
    if (key == kExtendedKey || key == kExtendedKeyAlt) {
      ::_getch();  // the key's second code, so that no part of it reads as a key of its own
      continue;
    }
    if (key == kEscape) escape = true;
  }
  return escape;
}

void ConsoleRestore() {}

}  // namespace ucac2
