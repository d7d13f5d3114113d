// Helpers the tests share: a clean temporary directory per test, running a program and
// capturing what it prints, and reading and writing whole files.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace ucac2_test {

/// A fresh directory, made the current directory while the object lives, and removed with
/// everything in it afterwards.
class ScopedTempDir {
 public:
  ScopedTempDir();
  ~ScopedTempDir();
  ScopedTempDir(const ScopedTempDir&) = delete;
  ScopedTempDir& operator=(const ScopedTempDir&) = delete;
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
  std::filesystem::path previous_;
};

struct RunResult {
  int status = -1;  // exit status, or -1 when the process died of a signal
  int signal = 0;   // the signal it died of, if it did
  std::string out;  // standard output
  std::string err;  // standard error
};

/// Runs `program` with `args` in `directory`, its standard input from /dev/null unless
/// `stdin_path` names a file, extra environment entries "NAME=value" added; waits for it.
/// `in_child`, if given, runs in the new process just before the program starts (to set a
/// resource limit, say).
RunResult RunProgram(const std::string& program, const std::vector<std::string>& args,
                     const std::filesystem::path& directory,
                     const std::vector<std::string>& environment = {},
                     const std::string& stdin_path = "/dev/null", void (*in_child)() = nullptr);

std::string ReadFileBytes(const std::filesystem::path& path);
void WriteFileBytes(const std::filesystem::path& path, const std::string& bytes);

/// The lines of `text`, split at "\n" (the "\n" removed).
std::vector<std::string> SplitLines(const std::string& text);

}  // namespace ucac2_test
