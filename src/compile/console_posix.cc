// The POSIX console: the terminal in non-canonical mode without echo while the run holds it.
#include <errno.h>
#include <poll.h>
#include <signal.h>
#include <termios.h>
#include <unistd.h>

#include <initializer_list>

#include "compile/console.h"

namespace ucac2 {
namespace {

constexpr int kEscape = 27;
// Bytes arriving this soon after an ESC are the rest of a key's sequence.
constexpr int kSequenceWindowMs = 40;

bool g_started = false;
bool g_is_terminal = false;
volatile sig_atomic_t g_taken = 0;
struct termios g_original;

bool InForeground() { return ::tcgetpgrp(STDIN_FILENO) == ::getpgrp(); }

// Async-signal-safe: called from the signal handlers too.
void GiveBack() {
  if (!g_taken) return;
  // A process outside the foreground may still restore the terminal once SIGTTOU is held.
  sigset_t ttou, old;
  sigemptyset(&ttou);
  sigaddset(&ttou, SIGTTOU);
  sigprocmask(SIG_BLOCK, &ttou, &old);
  ::tcsetattr(STDIN_FILENO, TCSANOW, &g_original);
  sigprocmask(SIG_SETMASK, &old, nullptr);
  g_taken = 0;
}

void Take() {
  if (g_taken || !InForeground()) return;
  struct termios raw = g_original;
  raw.c_lflag &= static_cast<tcflag_t>(~(ICANON | ECHO));
  raw.c_cc[VMIN] = 0;
  raw.c_cc[VTIME] = 0;
  if (::tcsetattr(STDIN_FILENO, TCSANOW, &raw) == 0) g_taken = 1;
}

void OnEndingSignal(int signal_number) {
  const int saved_errno = errno;
  GiveBack();
  // Die of the same signal, as the shell expects.
  ::signal(signal_number, SIG_DFL);
  ::raise(signal_number);
  errno = saved_errno;
}

void OnStop(int signal_number) {
  const int saved_errno = errno;
  const bool was_taken = g_taken != 0;
  GiveBack();
  // Stop for real: the default action, with the signal no longer held by this handler.
  ::signal(signal_number, SIG_DFL);
  sigset_t stop;
  sigemptyset(&stop);
  sigaddset(&stop, signal_number);
  ::raise(signal_number);
  sigprocmask(SIG_UNBLOCK, &stop, nullptr);
  // Running again: take the terminal back, unless resumed in the background.
  struct sigaction action = {};
  action.sa_handler = OnStop;
  sigemptyset(&action.sa_mask);
  ::sigaction(signal_number, &action, nullptr);
  if (was_taken) Take();
  errno = saved_errno;
}

void Install(int signal_number, void (*handler)(int)) {
  struct sigaction action = {};
  action.sa_handler = handler;
  sigemptyset(&action.sa_mask);
  struct sigaction previous;
  ::sigaction(signal_number, nullptr, &previous);
  // A signal the caller chose to ignore (nohup) stays ignored.
  if (previous.sa_handler == SIG_IGN) return;
  ::sigaction(signal_number, &action, nullptr);
}

// Reads what is waiting, up to `size` bytes; 0 when nothing is.
int ReadWaiting(unsigned char* bytes, int size) {
  const ssize_t got = ::read(STDIN_FILENO, bytes, static_cast<size_t>(size));
  return got > 0 ? static_cast<int>(got) : 0;
}

bool MoreWithin(int milliseconds) {
  struct pollfd input = {STDIN_FILENO, POLLIN, 0};
  return ::poll(&input, 1, milliseconds) > 0 && (input.revents & POLLIN) != 0;
}

}  // namespace

void ConsoleStart() {
  if (g_started) return;
  g_started = true;
  if (!::isatty(STDIN_FILENO) || ::tcgetattr(STDIN_FILENO, &g_original) != 0) return;
  g_is_terminal = true;
  for (int s : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) Install(s, OnEndingSignal);
  Install(SIGTSTP, OnStop);
  Take();
}

bool ConsoleEscapePressed() {
  // Reading the terminal from the background would stop the process.
  if (!g_is_terminal || !InForeground()) return false;
  if (!g_taken) {
    Take();
    if (!g_taken) return false;
  }
  unsigned char keys[64];
  bool lone_escape = false;
  // A key's sequence arrives in one burst; an ESC that ends the waiting bytes with nothing
  // behind it within the window was pressed on its own.
  for (int got = ReadWaiting(keys, sizeof keys); got > 0; got = ReadWaiting(keys, sizeof keys)) {
    if (keys[got - 1] == kEscape && !MoreWithin(kSequenceWindowMs)) lone_escape = true;
  }
  return lone_escape;
}

void ConsoleRestore() { GiveBack(); }

}  // namespace ucac2
