// An independent re-derivation of what the compiler must produce from an input catalog, for
// the end-to-end tests: it shares no code with the program and reads only the input bytes.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "test_util.h"

namespace ucac2_test {

inline constexpr int kHourZones = 24;
inline constexpr int kBands = 18;

/// Hour zone the compiler must give a right ascension (mas), or -1 where it must stop.
int ExpectedHour(std::int32_t ra);
/// Declination band the compiler must give a declination (mas), or -1 where it must stop.
int ExpectedBand(std::int32_t dec);

/// `name` inside `dir`, spelled as the compiler spells the paths it opens and prints.
std::string ProgramPath(const std::string& dir, const std::string& name);
/// "UCAC2_hh.dat".
std::string ZoneName(int hour);

/// Every run of the compiler goes through here. A non-empty `fault` ("kind:n") runs the build
/// with the fault seam open.
RunResult RunCompiler(const std::vector<std::string>& args, const std::filesystem::path& dir,
                      const std::string& fault = "");

/// Reads a catalog directory once and answers what a run on it must leave behind.
class CatalogChecker {
 public:
  explicit CatalogChecker(const std::filesystem::path& input_dir);

  std::int32_t total() const { return static_cast<std::int32_t>(zones_.size()); }
  std::int32_t hour_count(int hour) const { return hour_counts_[hour]; }
  std::int32_t band_count(int hour, int band) const;

  /// Standard error lines of a successful run given the directory argument `dir`.
  std::vector<std::string> Transcript(const std::string& dir) const;
  /// The whole zone file of `hour`.
  std::string ZoneFile(int hour) const;
  /// What differs in zone file `hour` of `out`; empty when it is right.
  std::vector<std::string> CheckZoneFile(const std::filesystem::path& out, int hour) const;
  /// What differs in the whole result in `out`: zone files, info.txt, leftover work files.
  std::vector<std::string> Check(const std::filesystem::path& out) const;

 private:
  std::int32_t BandOffset(int hour, int band) const;
  std::int32_t Identifier(std::size_t star) const;
  std::string Describe(std::size_t star) const;

  std::string records_;                        // all whole records, in reading order
  std::array<std::size_t, 325> file_first_{};  // first star of each file, then the end
  std::vector<int> zones_;                     // hour * kBands + band per star; -1: none
  std::array<std::int32_t, kHourZones> hour_counts_{};
  std::array<std::size_t, kHourZones * kBands + 1> zone_first_{};  // slices of order_
  std::vector<std::size_t> order_;                                 // stars in zone-file order
};

}  // namespace ucac2_test
