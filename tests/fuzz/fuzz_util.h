// What the fuzz targets share: a scratch folder in memory, one input cut into several files,
// and the way a broken property stops the run.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace ucac2::fuzz {

/// The marker between the files of one input: unlikely inside a real file, and found by the
/// fuzzer quickly since it watches the comparisons made with it.
inline constexpr std::string_view kFileSeparator = "\n--ucac2 file--\n";

/// The input cut at each separator into at most `max_parts` parts; the last part holds the
/// rest, separators included.
std::vector<std::string_view> SplitInput(const std::uint8_t* data, std::size_t size,
                                         std::size_t max_parts);

/// More than any command line of either program needs.
inline constexpr std::size_t kMaxArguments = 16;

/// `program`, then the input cut at each NUL into arguments, at most kMaxArguments in all.
std::vector<std::string> SplitArguments(const char* program, const std::uint8_t* data,
                                        std::size_t size);

/// The arguments as a `main` receives them; valid while `arguments` lives unchanged.
std::vector<const char*> ArgumentPointers(const std::vector<std::string>& arguments);

/// An empty folder of this process's own, made on the first call and removed at exit: under
/// /dev/shm where there is one, so that the runs never touch the disk.
const std::string& ScratchFolder();

/// Writes `bytes` as the file `name` of `folder`, replacing it.
void WriteScratchFile(const std::string& folder, const char* name, std::string_view bytes);

/// Removes the file `name` of `folder` if it is there.
void RemoveScratchFile(const std::string& folder, const char* name);

/// Sends the standard output to the null device: what a reader prints is not looked at, and
/// printing to a closed stream would fail it.
void DiscardStandardOutput();

/// Prints which property failed and aborts: the fuzzer reports a crash and keeps the input.
[[noreturn]] void Fail(const char* property);

}  // namespace ucac2::fuzz
