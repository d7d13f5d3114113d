// The shared pieces of the fuzz targets (built with clang on Linux only).
#include "fuzz_util.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include <sanitizer/common_interface_defs.h>

namespace ucac2::fuzz {
namespace {

namespace fs = std::filesystem;

constexpr const char* kMemoryFolder = "/dev/shm";
constexpr int kNameAttempts = 100;

fs::path scratch_root;

void RemoveScratchRoot() {
  std::error_code error;
  fs::remove_all(scratch_root, error);
}

}  // namespace

std::vector<std::string_view> SplitInput(const std::uint8_t* data, std::size_t size,
                                         std::size_t max_parts) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  std::vector<std::string_view> parts;
  std::size_t start = 0;
  while (parts.size() + 1 < max_parts) {
    const std::size_t end = input.find(kFileSeparator, start);
    if (end == std::string_view::npos) break;
    parts.push_back(input.substr(start, end - start));
    start = end + kFileSeparator.size();
  }
  parts.push_back(input.substr(start));
  return parts;
}

std::vector<std::string> SplitArguments(const char* program, const std::uint8_t* data,
                                        std::size_t size) {
  std::vector<std::string> arguments(1, program);
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  for (std::size_t start = 0; arguments.size() < kMaxArguments;) {
    const std::size_t end = input.find('\0', start);
    arguments.emplace_back(input.substr(start, end == std::string_view::npos ? end : end - start));
    if (end == std::string_view::npos) break;
    start = end + 1;
  }
  return arguments;
}

std::vector<const char*> ArgumentPointers(const std::vector<std::string>& arguments) {
  std::vector<const char*> argv;
  for (const std::string& argument : arguments) argv.push_back(argument.c_str());
  return argv;
}

const std::string& ScratchFolder() {
  static const std::string folder = [] {
    std::error_code error;
    const fs::path base = fs::is_directory(kMemoryFolder, error) ? fs::path(kMemoryFolder)
                                                                 : fs::temp_directory_path();
    std::random_device random;
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
      const fs::path candidate = base / ("ucac2_fuzz_" + std::to_string(random()));
      if (fs::create_directory(candidate, error)) {
        scratch_root = candidate;
        std::atexit(RemoveScratchRoot);
        return candidate.string();
      }
    }
    Fail("a scratch folder can be made");
  }();
  return folder;
}

void WriteScratchFile(const std::string& folder, const char* name, std::string_view bytes) {
  std::ofstream out(fs::path(folder) / name, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out.flush()) Fail("a scratch file can be written");
}

void RemoveScratchFile(const std::string& folder, const char* name) {
  std::error_code error;
  fs::remove(fs::path(folder) / name, error);
}

void DiscardStandardOutput() {
  if (std::freopen("/dev/null", "w", stdout) == nullptr) Fail("stdout can be sent to /dev/null");
}

void Fail(const char* property) {
  // Through the sanitizer's report stream, which libFuzzer keeps open when it closes stderr.
  const std::string line = std::string("fuzz property broken: ") + property;
  __sanitizer_report_error_summary(line.c_str());
  std::abort();
}

}  // namespace ucac2::fuzz
