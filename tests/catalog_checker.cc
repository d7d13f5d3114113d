// The end-to-end checker: re-derives zone files, report and transcript from the input bytes.
#include "catalog_checker.h"

#include <algorithm>
#include <cmath>

namespace ucac2_test {
namespace {

constexpr std::size_t kRecord = 44;
constexpr std::int32_t kEntry = 48, kFirstBlock = 152;
constexpr int kMainFiles = 288;
constexpr std::int64_t kProgressStep = 1'000'000;
// The separator of the platform the compiler under test was built for.
constexpr char kProgramSeparator = '/';

std::int32_t Le32(const std::string& s, std::size_t at) {
  std::uint32_t u = 0;
  for (std::size_t i = 4; i-- > 0;) u = (u << 8) | static_cast<unsigned char>(s[at + i]);
  return static_cast<std::int32_t>(u);
}

// Milliarcseconds to arcseconds to degrees to radians, each step rounded to a double.
double Radians(std::int32_t mas) { return mas * 0.001 * 0.0002777777777777778 * 0.017453293; }

// Where `got` first differs from `want`.
std::size_t FirstDifference(const std::string& got, const std::string& want) {
  return static_cast<std::size_t>(
      std::mismatch(got.begin(), got.end(), want.begin(), want.end()).second - want.begin());
}

}  // namespace

int ExpectedHour(std::int32_t ra) {
  const int h = static_cast<int>(std::floor(Radians(ra) / 0.261799388));
  // The last 34 mas of the circle compute as hour 24 but are valid positions of hour 23.
  if (h == kHourZones && ra >= 0 && ra < 1'296'000'000) return kHourZones - 1;
  return h >= 0 && h < kHourZones ? h : -1;
}

int ExpectedBand(std::int32_t dec) {
  const double a = Radians(dec);
  const double q = a / 0.174532925;
  const int m = static_cast<int>(std::floor(a < 0.0 ? -q : q));
  if (m < 9) return a < 0.0 ? 9 + m : 8 - m;
  // Within a few mas of a pole, the pole included, a star still belongs to the polar band.
  if (dec > 324'000'000 || dec < -324'000'000) return -1;
  return a < 0.0 ? kBands - 1 : 0;
}

void PutLe32(std::string& s, std::int64_t v) {
  for (int i = 0; i < 4; ++i) s.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

std::string CatalogFileName(int f) {
  char name[16];
  std::snprintf(name, sizeof name, f < kMainFiles ? "z%03d" : "s%02d",
                f < kMainFiles ? f + 1 : f - kMainFiles + 1);
  return name;
}

std::string ProgramPath(const std::string& dir, const std::string& name) {
  return dir + kProgramSeparator + name;
}

std::string ZoneName(int hour) {
  return (hour < 10 ? "UCAC2_0" : "UCAC2_") + std::to_string(hour) + ".dat";
}

RunResult RunCompiler(const std::vector<std::string>& args, const fs::path& dir,
                      const std::string& fault) {
  return RunProgram(fault.empty() ? UCAC2_EXE : UCAC2_FAULTY_EXE, args, dir,
                    {"UCAC2_FAULT=" + fault});
}

CatalogChecker::CatalogChecker(const fs::path& input_dir) {
  for (int f = 0; f < kCatalogFiles; ++f) {
    const std::string bytes = ReadFileBytes(input_dir / CatalogFileName(f));
    records_.append(bytes, 0, bytes.size() - bytes.size() % kRecord);  // trailing bytes: no star
    file_first_[f + 1] = records_.size() / kRecord;
  }
  for (std::size_t i = 0; i < file_first_.back(); ++i) {
    const int h = ExpectedHour(Le32(records_, i * kRecord));
    const int b = ExpectedBand(Le32(records_, i * kRecord + 4));
    if (h >= 0) ++hour_counts_[h];
    if (h < 0 || b < 0) outside_ = true;
    if (h >= 0 && b >= 0) zone_stars_[h * kBands + b].push_back(i);  // in reading order
  }
}

std::int32_t CatalogChecker::band_count(int hour, int band) const {
  return static_cast<std::int32_t>(zone_stars_[hour * kBands + band].size());
}

std::int32_t CatalogChecker::BandOffset(int hour, int band) const {
  std::int32_t offset = kFirstBlock;
  for (int b = 0; b < band; ++b) offset += kEntry * band_count(hour, b);
  return offset;
}

std::vector<std::string> CatalogChecker::Transcript(const std::string& dir) const {
  std::vector<std::string> t = {"MSG --- Input directory: " + dir,
                                "MSG --- Data file checking (" + dir + ")..."};
  std::int64_t read = 0;
  const auto advance = [&](std::int64_t count) {
    for (std::int64_t m = read / kProgressStep + 1; m * kProgressStep <= read + count; ++m)
      t.push_back("MSG --- " + std::to_string(m * kProgressStep) + " objects");
    read += count;
  };
  for (int f = 0; f < kCatalogFiles; ++f) {
    t.push_back("MSG --- Parsing file " + std::to_string(f < kMainFiles ? f + 1 : f - 287) + ": " +
                ProgramPath(dir, CatalogFileName(f)));
    advance(static_cast<std::int64_t>(file_first_[f + 1] - file_first_[f]));
  }
  t.push_back("MSG --- Writing 24 files with binary data...");
  read = 0;
  for (int h = 0; h < kHourZones; ++h) {
    t.push_back("MSG --- Zone " + std::to_string(h) + " < RA < " + std::to_string(h + 1));
    advance(hour_count(h));
  }
  t.push_back("MSG --- " + std::to_string(total()) + " objects found");
  return t;
}

std::string CatalogChecker::ZoneFile(int hour) const {
  std::string z;
  PutLe32(z, total());
  PutLe32(z, hour_count(hour));
  for (int b = 0; b < kBands; ++b) {
    PutLe32(z, BandOffset(hour, b));
    PutLe32(z, band_count(hour, b));
  }
  const std::size_t main_stars = file_first_[kMainFiles];  // then identifiers from 50000001
  for (int b = 0; b < kBands; ++b) {
    for (const std::size_t star : zone_stars_[hour * kBands + b]) {
      PutLe32(z, static_cast<std::int64_t>(star < main_stars ? star + 1
                                                             : 50'000'001 + star - main_stars));
      z.append(records_, star * kRecord, kRecord);
    }
  }
  return z;
}

std::string CatalogChecker::CheckZoneFile(const fs::path& out, int hour) const {
  const std::string got = ReadFileBytes(out / ZoneName(hour)), want = ZoneFile(hour);
  if (got == want) return "";
  return ZoneName(hour) + ": " + std::to_string(got.size()) + " bytes, expected " +
         std::to_string(want.size()) + ", differs from byte " +
         std::to_string(FirstDifference(got, want));
}

std::vector<std::string> CatalogChecker::Check(const fs::path& out) const {
  std::vector<std::string> m;
  if (outside_) m.push_back("the input holds a star that lies outside every zone");
  for (int h = 0; h < kHourZones; ++h)
    if (std::string zone = CheckZoneFile(out, h); !zone.empty()) m.push_back(zone);
  std::string want = std::to_string(total()) + " objects in the UCAC2 catalog\r\n\r\n";
  char line[96];
  for (int h = 0; h < kHourZones; ++h) {
    std::snprintf(line, sizeof line, "%d objects RA zone %02d\r\n", hour_count(h), h);
    want += line;
  }
  want += "Check Total: " + std::to_string(total()) + "\r\n\r\n";  // when no star is outside
  for (int h = 0; h < kHourZones; ++h) {
    want += "RA zone " + std::to_string(h) + "\r\n";
    for (int b = 0; b < kBands; ++b) {
      std::snprintf(line, sizeof line, "    DE Zone %02d --> address is %d (%d objects)\r\n", b,
                    BandOffset(h, b), band_count(h, b));
      want += line;
    }
  }
  const std::string got = ReadFileBytes(out / "info.txt");
  if (got != want) {
    const std::size_t at = FirstDifference(got, want);
    m.push_back("info.txt differs from byte " + std::to_string(at) + ", in line " +
                std::to_string(std::count(want.begin(), want.begin() + at, '\n') + 1));
  }
  for (const std::string& name : Listing(out))
    if (name.rfind("TMPA", 0) == 0 || name.rfind("TMPB", 0) == 0)
      m.push_back("work file " + name + " left behind");
  return m;
}

}  // namespace ucac2_test
