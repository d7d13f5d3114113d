// The ESC key on a pseudo-terminal: a lone ESC seen, other keys swallowed, the settings given
// back on every way out. Each case runs in a child process: a process takes the console once.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <cstring>
#include <functional>
#include <string>

#include "compile/cancel.h"
#include "compile/console.h"
#include "compile/report.h"

namespace {

// Starts `body` in a child that exits with its result; an alarm ends a child that blocks.
pid_t Spawn(const std::function<int()>& body) {
  const pid_t pid = ::fork();
  if (pid != 0) return pid;
  ::alarm(10);
  for (int s : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) ::signal(s, SIG_DFL);
  ::_exit(body());
}
// The child's exit code, or 1000 + the signal it died of.
int Wait(pid_t pid) {
  int status = 0;
  ::waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 1000 + WTERMSIG(status);
}
bool InputWithin(int milliseconds) {
  struct pollfd input = {STDIN_FILENO, POLLIN, 0};
  return ::poll(&input, 1, milliseconds) > 0;
}

termios Settings(int fd) {
  termios settings{};
  ::tcgetattr(fd, &settings);
  return settings;
}
bool Same(const termios& a, const termios& b) { return std::memcmp(&a, &b, sizeof a) == 0; }
bool Taken(const termios& t) { return (t.c_lflag & (ICANON | ECHO)) == 0; }

struct Pty {
  int master = ::posix_openpt(O_RDWR | O_NOCTTY);
  std::string name = (::grantpt(master), ::unlockpt(master), ::ptsname(master));
  int slave = ::open(name.c_str(), O_RDWR | O_NOCTTY);
  termios before = Settings(slave);
  ~Pty() {
    ::close(slave);
    ::close(master);
  }
  // In a child: a session of its own with the pty as controlling terminal and standard
  // input, so that the child is in the terminal's foreground.
  void BecomeForeground() const {
    ::setsid();
    const int fd = ::open(name.c_str(), O_RDWR);
    ::ioctl(fd, TIOCSCTTY, 0);
    ::dup2(fd, STDIN_FILENO);
  }
  bool Restored() const { return Same(Settings(slave), before); }
};

TEST(Console, OnATerminalALoneEscapeIsSeenAndEveryKeyIsSwallowed) {
  const std::pair<const char*, bool> kKeys[] = {
      {"\x1b", true}, {"\x1b[A", false}, {"x", false}, {"\x1bOP", false}, {"\x1b[15~", false}};
  for (const auto& [keys, escape] : kKeys) {
    Pty pty;
    // Bits: 1 input arrived, 2 terminal taken, 4 ESC seen, 8 bytes left.
    EXPECT_EQ(Wait(Spawn([&] {
                pty.BecomeForeground();
                ucac2::ConsoleStart();
                const bool taken = Taken(Settings(STDIN_FILENO));
                (void)!::write(pty.master, keys, std::strlen(keys));
                const bool ready = InputWithin(2000);
                const bool seen = ucac2::PollCancel();  // its first call asks
                const bool left = InputWithin(0);
                ucac2::ConsoleRestore();
                return ready + 2 * taken + 4 * seen + 8 * left;
              })),
              1 + 2 + 4 * escape)
        << "keys " << keys + 1;
    EXPECT_TRUE(pty.Restored()) << "keys " << keys + 1;
  }
}

TEST(Console, EndingSignalsAndFatalErrorsGiveTheTerminalBack) {
  for (int ending : {SIGTERM, SIGINT, SIGHUP, 0}) {  // 0: a fatal error
    Pty pty;
    int ready[2], go[2];
    ASSERT_EQ(::pipe(ready) | ::pipe(go), 0);
    const pid_t pid = Spawn([&] {
      pty.BecomeForeground();
      ::dup2(::open("/dev/null", O_WRONLY), STDERR_FILENO);
      ucac2::SetExitDuties({nullptr, ucac2::ConsoleRestore});
      ucac2::ConsoleStart();
      char byte = 'r';
      if (::write(ready[1], &byte, 1) != 1 || ::read(go[0], &byte, 1) != 1) return 3;
      ucac2::Fatal("stop");
    });
    ::close(ready[1]);  // a child that dies early ends the wait
    char byte = 0;
    ASSERT_EQ(::read(ready[0], &byte, 1), 1);
    EXPECT_TRUE(Taken(Settings(pty.slave))) << ending;
    EXPECT_EQ(ending != 0 ? ::kill(pid, ending) : ::write(go[1], &byte, 1) - 1, 0);
    EXPECT_EQ(Wait(pid), ending != 0 ? 1000 + ending : 1);
    EXPECT_TRUE(pty.Restored()) << ending;
    for (int fd : {ready[0], go[0], go[1]}) ::close(fd);
  }
}

}  // namespace
