// Helpers the tests share: a clean temporary directory per test, running a program and
// capturing what it prints, reading and writing whole files, and generating catalogs.
#pragma once

#include <filesystem>
#include <set>
#include <string>
#include <vector>

namespace ucac2_test {

namespace fs = std::filesystem;

/// A fresh directory, made the current directory while the object lives, and removed with
/// everything in it afterwards.
class ScopedTempDir {
 public:
  ScopedTempDir();
  ~ScopedTempDir();
  ScopedTempDir(const ScopedTempDir&) = delete;
  ScopedTempDir& operator=(const ScopedTempDir&) = delete;
  const fs::path& path() const { return path_; }

 private:
  fs::path path_, previous_;
};

struct RunResult {
  int status = -1;  // exit status, or -1 when the process died of a signal
  std::string out;  // standard output
  std::string err;  // standard error
};

/// Runs `program` with `args` in `directory`, its standard input from /dev/null, extra
/// environment entries "NAME=value" added; waits for it. `in_child`, if given, runs in the new
/// process just before the program starts (to set a resource limit, say).
RunResult RunProgram(const std::string& program, const std::vector<std::string>& args,
                     const fs::path& directory, const std::vector<std::string>& environment = {},
                     void (*in_child)() = nullptr);

/// The last line of what the run printed on standard error; "" when it printed nothing.
std::string LastLine(const RunResult& run);

/// Writes a sample catalog into `dir` with make_sample_catalog's `options` ("--stars 300 ...",
/// split at spaces); throws, failing the test, when the generator fails.
void MakeCatalog(const fs::path& dir, const std::string& options);

/// Every byte of a file; "" when it cannot be read.
std::string ReadFileBytes(const fs::path& path);
void WriteFileBytes(const fs::path& path, const std::string& bytes);
/// The names of the entries of `dir`.
std::set<std::string> Listing(const fs::path& dir);

/// The lines of `text`, split at "\n" (the "\n" removed).
std::vector<std::string> SplitLines(const std::string& text);

}  // namespace ucac2_test
