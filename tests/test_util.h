// Helpers the tests share: a clean temporary directory per test, running a program and
// capturing what it prints, reading and writing whole files, generating catalogs, and
// compiling them and proving the result with ucac2db verify.
#pragma once

#include <cstdint>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

namespace ucac2_test {

namespace fs = std::filesystem;

inline constexpr int kHourZones = 24;
inline constexpr int kBands = 18;
inline constexpr int kCatalogFiles = 324;  // z001..z288, then s01..s36
inline const std::vector<std::string> kNoFindings;

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
/// environment entries "NAME=value" added; waits for it, reading both streams as they come.
/// `in_child`, if given, runs in the new process just before the program starts (to set a
/// resource limit, or to close or join its streams, say).
RunResult RunProgram(const std::string& program, const std::vector<std::string>& args,
                     const fs::path& directory, const std::vector<std::string>& environment = {},
                     void (*in_child)() = nullptr);

/// Runs ucac2db with `args`, split at spaces, in `dir`; a sanitizer's report ends it with
/// status 86, so that it never passes for a finding's status 1.
RunResult RunDb(const std::string& args, const fs::path& dir);

/// Runs the compiler on `args` in `dir`; a non-empty `fault` ("kind:n[:effect]") runs the
/// build with the fault seam open.
RunResult RunCompiler(const std::vector<std::string>& args, const fs::path& dir,
                      const std::string& fault = "");

/// The findings `ucac2db verify --catalog` reports on the database in `out` against
/// `catalog`, one line each; kNoFindings when it is exactly what the catalog compiles to. A
/// status, standard output or summary line that does not fit the findings adds a line.
std::vector<std::string> Verify(const fs::path& out, const fs::path& catalog);

/// The last line of what the run printed on standard error; "" when it printed nothing.
std::string LastLine(const RunResult& run);

/// Writes a sample catalog into `dir` with make_sample_catalog's `options` ("--stars 300 ...",
/// split at spaces); throws, failing the test, when the generator fails.
void MakeCatalog(const fs::path& dir, const std::string& options);
/// The name of catalog file `f` (from 0): "z001".."z288", "s01".."s36".
std::string CatalogFileName(int f);
/// The stars of the catalog in `dir`: its files' whole 44-byte records.
std::int64_t CatalogStars(const fs::path& dir);
/// "UCAC2_hh.dat".
std::string ZoneName(int hour);

/// Every byte of a file; "" when it cannot be read.
std::string ReadFileBytes(const fs::path& path);
void WriteFileBytes(const fs::path& path, const std::string& bytes);
/// The names of the entries of `dir`.
std::set<std::string> Listing(const fs::path& dir);

/// The pieces of `text` between `separator`s (the separators removed): by default its lines.
std::vector<std::string> SplitLines(const std::string& text, char separator = '\n');

}  // namespace ucac2_test
