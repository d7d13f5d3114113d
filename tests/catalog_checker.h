// An independent re-derivation of what the compiler must produce from an input catalog, for
// the end-to-end tests: it shares no code with the program and reads only the input bytes.
#pragma once

#include <array>
#include <cstdint>

#include "test_util.h"

namespace ucac2_test {

inline constexpr int kHourZones = 24;
inline constexpr int kBands = 18;
inline constexpr int kCatalogFiles = 324;  // z001..z288, then s01..s36
inline const std::vector<std::string> kNoMismatch;

/// Hour zone the compiler must give a right ascension (mas), or -1 where it must stop.
int ExpectedHour(std::int32_t ra);
/// Declination band the compiler must give a declination (mas), or -1 where it must stop.
int ExpectedBand(std::int32_t dec);

/// Appends `v` as 4 little-endian bytes.
void PutLe32(std::string& s, std::int64_t v);
/// The name of catalog file `f` (from 0): "z001".."z288", "s01".."s36".
std::string CatalogFileName(int f);
/// `name` inside `dir`, spelled as the compiler spells the paths it opens and prints.
std::string ProgramPath(const std::string& dir, const std::string& name);
/// "UCAC2_hh.dat".
std::string ZoneName(int hour);

/// Every run of the compiler goes through here. A non-empty `fault` ("kind:n") runs the build
/// with the fault seam open.
RunResult RunCompiler(const std::vector<std::string>& args, const fs::path& dir,
                      const std::string& fault = "");

/// Reads a catalog directory once and answers what a run on it must leave behind.
class CatalogChecker {
 public:
  explicit CatalogChecker(const fs::path& input_dir);

  std::int32_t total() const { return static_cast<std::int32_t>(file_first_.back()); }
  std::int32_t hour_count(int hour) const { return hour_counts_[hour]; }
  std::int32_t band_count(int hour, int band) const;

  /// Standard error lines of a successful run given the directory argument `dir`.
  std::vector<std::string> Transcript(const std::string& dir) const;
  /// The whole zone file of `hour`.
  std::string ZoneFile(int hour) const;
  /// What is wrong with zone file `hour` in `out`; "" when it is right.
  std::string CheckZoneFile(const fs::path& out, int hour) const;
  /// What differs in the whole result in `out`: zone files, info.txt, leftover work files.
  std::vector<std::string> Check(const fs::path& out) const;

 private:
  std::int32_t BandOffset(int hour, int band) const;

  std::string records_;                                      // the whole records, in order
  std::array<std::size_t, kCatalogFiles + 1> file_first_{};  // first star of each file, the end
  bool outside_ = false;                                     // a star lies outside every zone
  std::array<std::int32_t, kHourZones> hour_counts_{};
  std::array<std::vector<std::size_t>, kHourZones * kBands> zone_stars_;  // by hour and band
};

}  // namespace ucac2_test
