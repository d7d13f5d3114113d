// The end-to-end checker: re-derives zone files, report and transcript from the input bytes.
#include "catalog_checker.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <numeric>

namespace ucac2_test {
namespace {

namespace fs = std::filesystem;

constexpr std::size_t kRecord = 44;
constexpr std::size_t kEntry = 48;
constexpr int kFiles = 324;
constexpr int kMainFiles = 288;
constexpr std::size_t kFirstBlock = 152;
constexpr std::int64_t kProgressStep = 1'000'000;
// The separator of the platform the compiler under test was built for.
constexpr char kProgramSeparator = '/';

std::int32_t Le32(const std::string& s, std::size_t at) {
  std::uint32_t u = 0;
  for (std::size_t i = 4; i-- > 0;) u = (u << 8) | static_cast<unsigned char>(s[at + i]);
  return static_cast<std::int32_t>(u);
}

void PutLe32(std::string& s, std::int64_t v) {
  for (int i = 0; i < 4; ++i) s.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

std::string FileName(int f) {
  char name[16];
  std::snprintf(name, sizeof name, f < kMainFiles ? "z%03d" : "s%02d",
                f < kMainFiles ? f + 1 : f - kMainFiles + 1);
  return name;
}

// Appends a regular file's bytes to `to`; returns how many.
std::size_t AppendFile(const fs::path& path, std::string& to) {
  std::error_code ec;
  if (!fs::is_regular_file(path, ec)) return 0;
  const auto size = static_cast<std::size_t>(fs::file_size(path));
  to.resize(to.size() + size);
  std::ifstream(path, std::ios::binary)
      .read(to.data() + to.size() - size, static_cast<std::streamsize>(size));
  return size;
}

double Radians(std::int32_t mas) {
  double a = mas * 0.001;
  a = a * 0.0002777777777777778;
  return a * 0.017453293;
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

std::string ProgramPath(const std::string& dir, const std::string& name) {
  return dir + kProgramSeparator + name;
}

std::string ZoneName(int hour) {
  char name[16];
  std::snprintf(name, sizeof name, "UCAC2_%02d.dat", hour);
  return name;
}

RunResult RunCompiler(const std::vector<std::string>& args, const fs::path& dir,
                      const std::string& fault) {
  if (fault.empty()) return RunProgram(UCAC2_EXE, args, dir);
  return RunProgram(UCAC2_FAULTY_EXE, args, dir, {"UCAC2_FAULT=" + fault});
}

CatalogChecker::CatalogChecker(const fs::path& input_dir) {
  for (int f = 0; f < kFiles; ++f) {
    const std::size_t size = AppendFile(input_dir / FileName(f), records_);
    records_.resize(records_.size() - size % kRecord);  // trailing bytes hold no star
    file_first_[f + 1] = records_.size() / kRecord;
  }
  std::array<std::size_t, kHourZones * kBands + 1> next{};
  for (std::size_t i = 0; i < file_first_.back(); ++i) {
    const int h = ExpectedHour(Le32(records_, i * kRecord));
    const int b = ExpectedBand(Le32(records_, i * kRecord + 4));
    if (h >= 0) ++hour_counts_[h];
    zones_.push_back(h < 0 || b < 0 ? -1 : h * kBands + b);
    if (zones_.back() >= 0) ++next[zones_.back() + 1];
  }
  // A counting sort keeps reading order within each (hour, band).
  std::partial_sum(next.begin(), next.end(), next.begin());
  zone_first_ = next;
  order_.resize(next.back());
  for (std::size_t i = 0; i < zones_.size(); ++i)
    if (zones_[i] >= 0) order_[next[zones_[i]]++] = i;
}

std::int32_t CatalogChecker::band_count(int hour, int band) const {
  const int k = hour * kBands + band;
  return static_cast<std::int32_t>(zone_first_[k + 1] - zone_first_[k]);
}

std::int32_t CatalogChecker::BandOffset(int hour, int band) const {
  const std::size_t k = zone_first_[hour * kBands + band] - zone_first_[hour * kBands];
  return static_cast<std::int32_t>(kFirstBlock + kEntry * k);
}

std::int32_t CatalogChecker::Identifier(std::size_t star) const {
  const std::size_t main_stars = file_first_[kMainFiles];
  return static_cast<std::int32_t>(star < main_stars ? star + 1 : 50'000'001 + star - main_stars);
}

std::string CatalogChecker::Describe(std::size_t star) const {
  const auto file = std::upper_bound(file_first_.begin(), file_first_.end(), star) - 1;
  return "ID=" + std::to_string(Identifier(star)) + " (" +
         FileName(static_cast<int>(file - file_first_.begin())) + " record " +
         std::to_string(star - *file) + ")";
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
  for (int f = 0; f < kFiles; ++f) {
    t.push_back("MSG --- Parsing file " + std::to_string(f < kMainFiles ? f + 1 : f - 287) + ": " +
                ProgramPath(dir, FileName(f)));
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
  for (std::size_t k = zone_first_[hour * kBands]; k < zone_first_[(hour + 1) * kBands]; ++k) {
    PutLe32(z, Identifier(order_[k]));
    z.append(records_, order_[k] * kRecord, kRecord);
  }
  return z;
}

std::vector<std::string> CatalogChecker::CheckZoneFile(const fs::path& out, int hour) const {
  const std::string name = ZoneName(hour) + ": ", want = ZoneFile(hour);
  std::string got;
  if (!fs::is_regular_file(out / ZoneName(hour))) return {name + "missing"};
  AppendFile(out / ZoneName(hour), got);
  std::vector<std::string> m;
  if (got.size() != want.size())
    m.push_back(name + std::to_string(got.size()) + " bytes, expected " +
                std::to_string(want.size()));
  for (std::size_t w = 0; w < kFirstBlock / 4 && 4 * w + 4 <= got.size(); ++w) {
    if (Le32(got, 4 * w) == Le32(want, 4 * w)) continue;
    m.push_back(name +
                (w < 2 ? (w == 0 ? "catalog total " : "hour count ")
                       : "band " + std::to_string(w / 2 - 1) + (w % 2 ? " count " : " offset ")) +
                std::to_string(Le32(got, 4 * w)) + ", expected " +
                std::to_string(Le32(want, 4 * w)));
  }
  for (std::size_t at = kFirstBlock; at < want.size(); at += kEntry) {
    if (at + kEntry <= got.size() && got.compare(at, kEntry, want, at, kEntry) == 0) continue;
    const std::size_t star = order_[zone_first_[hour * kBands] + (at - kFirstBlock) / kEntry];
    m.push_back(name + "entry at byte " + std::to_string(at) + " holds ID=" +
                (at + kEntry <= got.size() ? std::to_string(Le32(got, at)) : "none") +
                ", expected the unchanged record of " + Describe(star));
    break;  // the entries after a wrong one mostly differ too
  }
  return m;
}

std::vector<std::string> CatalogChecker::Check(const fs::path& out) const {
  std::vector<std::string> m;
  const auto outside = std::find(zones_.begin(), zones_.end(), -1);
  if (outside != zones_.end())
    m.push_back("input star " + Describe(static_cast<std::size_t>(outside - zones_.begin())) +
                " lies outside every zone");
  for (int h = 0; h < kHourZones; ++h) {
    const std::vector<std::string> zone = CheckZoneFile(out, h);
    m.insert(m.end(), zone.begin(), zone.end());
  }
  std::vector<std::string> want = {std::to_string(total()) + " objects in the UCAC2 catalog", ""};
  char line[96];
  for (int h = 0; h < kHourZones; ++h) {
    std::snprintf(line, sizeof line, "%d objects RA zone %02d", hour_count(h), h);
    want.push_back(line);
  }
  want.push_back("Check Total: " + std::to_string(std::accumulate(
                                       hour_counts_.begin(), hour_counts_.end(), std::int64_t{0})));
  want.push_back("");
  for (int h = 0; h < kHourZones; ++h) {
    want.push_back("RA zone " + std::to_string(h));
    for (int b = 0; b < kBands; ++b) {
      std::snprintf(line, sizeof line, "    DE Zone %02d --> address is %d (%d objects)", b,
                    BandOffset(h, b), band_count(h, b));
      want.push_back(line);
    }
  }
  std::string got;
  AppendFile(out / "info.txt", got);
  const std::vector<std::string> got_lines = SplitLines(got);
  if (got_lines.size() != want.size())
    m.push_back("info.txt: " + std::to_string(got_lines.size()) + " lines, expected " +
                std::to_string(want.size()));
  for (std::size_t i = 0; i < std::min(got_lines.size(), want.size()); ++i) {
    if (got_lines[i] == want[i] + "\r" && (i + 1 < want.size() || got.back() == '\n')) continue;
    m.push_back("info.txt line " + std::to_string(i + 1) + " is \"" + got_lines[i] +
                "\", expected \"" + want[i] + "\" and CR LF");
    break;
  }
  for (const fs::directory_entry& e : fs::directory_iterator(out)) {
    const std::string name = e.path().filename().string();
    if (name.rfind("TMPA", 0) == 0 || name.rfind("TMPB", 0) == 0)
      m.push_back("work file " + name + " left behind");
  }
  return m;
}

}  // namespace ucac2_test
