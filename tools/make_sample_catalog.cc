// Writes a sample star catalog shaped like the real one, for the quick start, the tests and the
// benchmark: 288 main files z001..z288 and 36 supplement files s01..s36 of 44-byte records,
// each file's stars sorted by right ascension and denser where the galactic plane crosses it.
#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "base/catalog_files.h"
#include "base/sky.h"
#include "base/star_record.h"
#include "sample_density.h"

namespace {

namespace fs = std::filesystem;

using ucac2::kRecordSize;
constexpr std::uint64_t kFullCircleMas = ucac2::kFullCircleMas;
constexpr std::uint64_t kMaxTrailing = kRecordSize - 1;
// Keeps index * kFullCircleMas below 2^64 and a shuffle permutation in 32-bit entries.
constexpr std::uint64_t kMaxFileStars = 0x7FFF'FFFF;
// Keeps total * real file count below 2^64 when spreading a total over the files.
constexpr std::uint64_t kMaxTotalStars = 10'000'000'000'000;
constexpr double kMaxScale = 10'000.0;
constexpr std::size_t kBufferRecords = 23'831;  // whole records in just under 1 MiB
constexpr std::uint64_t kGolden = 0x9E37'79B9'7F4A'7C15;
constexpr std::uint64_t kShuffleSalt = 0x5348'5546'464C'4531;
constexpr std::uint64_t kTrailingSalt = 0x5452'4149'4C49'4E47;

constexpr double kFractionPerDraw = 1.0 / 4'294'967'296.0;  // a 32-bit draw as a fraction

constexpr const char* kUsage =
    "usage: make_sample_catalog DIR [options]\n"
    "Writes a sample star catalog, z001..z288 and s01..s36, into DIR (created if missing).\n"
    "  --stars N            main-catalog stars in all, shaped like the real catalog (1000)\n"
    "  --bss M              supplement stars in all, shaped likewise (20)\n"
    "  --scale F            each file gets round(F * its real count) stars; 1 is the real size\n"
    "  --seed S             random seed (1)\n"
    "  --shuffle            records in random order instead of sorted by right ascension\n"
    "  --even               stars spread evenly in right ascension, not by the galactic plane\n"
    "  --empty FILE         FILE has 0 bytes\n"
    "  --missing FILE       FILE is not written (and an old one is removed)\n"
    "  --trailing FILE:K    K bytes (1..43) appended after FILE's last whole record\n"
    "  --count FILE:K       FILE gets exactly K stars\n"
    "  --bad-cflg FILE:I    record I of FILE gets the wrong supplement bit in cflg\n"
    "  --set FILE:I:RA:DEC  record I of FILE gets this right ascension and declination (mas)\n"
    "  --quiet              print no summary\n"
    "  --help               print this help\n"
    "FILE is a catalog file name, z001..z288 or s01..s36; the FILE options may be repeated.\n";

/// A change to one record after it is generated, from --bad-cflg or --set.
struct Edit {
  std::uint64_t index = 0;
  bool bad_cflg = false;
  bool set_position = false;
  std::int32_t ra = 0;
  std::int32_t dec = 0;
};

/// What to write into one catalog file.
struct FilePlan {
  ucac2::CatalogFile file;
  std::uint64_t count = 0;
  bool count_given = false;
  std::uint64_t given_count = 0;
  bool empty = false;
  bool missing = false;
  std::uint64_t trailing = 0;
  std::vector<Edit> edits;
};

/// Everything the command line asks for.
struct Options {
  std::string dir;
  std::uint64_t stars = 1000;
  std::uint64_t bss = 20;
  bool spread_given = false;
  bool scale_given = false;
  double scale = 0.0;
  std::uint64_t seed = 1;
  bool shuffle = false;
  bool even = false;
  bool quiet = false;
};

/// Ends the run on a bad command line, with the usage text.
[[noreturn]] void UsageError(const std::string& message) {
  static_cast<void>(std::fprintf(stderr, "make_sample_catalog: %s\n%s", message.c_str(), kUsage));
  std::exit(2);
}

/// Ends the run on a failed file operation, naming the file.
[[noreturn]] void IoError(const char* action, const std::string& path, const std::string& reason) {
  static_cast<void>(std::fprintf(stderr, "make_sample_catalog: cannot %s %s: %s\n", action,
                                 path.c_str(), reason.c_str()));
  std::exit(1);
}

/// Scrambles 64 bits (the splitmix64 finaliser); the generator's only source of randomness.
std::uint64_t Mix64(std::uint64_t z) {
  z = (z ^ (z >> 30)) * 0xBF58'476D'1CE4'E5B9;
  z = (z ^ (z >> 27)) * 0x94D0'49BB'1331'11EB;
  return z ^ (z >> 31);
}

/// Next value of a splitmix64 stream.
std::uint64_t Next(std::uint64_t& state) {
  state += kGolden;
  return Mix64(state);
}

/// Uniform integer in [lo, hi] for spans up to 2^32, by multiply-shift instead of a modulo.
std::int64_t Uniform(std::uint64_t& state, std::int64_t lo, std::int64_t hi) {
  const auto span = static_cast<std::uint64_t>(hi - lo) + 1;
  return lo + static_cast<std::int64_t>(((Next(state) >> 32) * span) >> 32);
}

/// The values drawn for each field of the record (its value as the field table reads it), in
/// the table's order; the right ascension, the declination and cflg are placed apart.
struct DrawnRange {
  std::int64_t lo, hi;
};
constexpr DrawnRange kDrawnRanges[] = {
    {0, 0},           {0, 0},                 // ra, dec: by the layout, in the file's strip
    {700, 1650},                              // u2r_mag, 0.01 mag
    {5, 150},         {5, 150},               // e_ra_m, e_de_m, mas
    {1, 12},          {1, 10},       {1, 9},  // nobs, e_pos, ncat
    {0, 0x7F},                                // cflg below the supplement bit
    {-2500, 500},     {-2500, 500},           // ep_ra_m, ep_de_m, 0.001 yr
    {-2000, 2000},    {-2000, 2000},          // pm_ra, pm_de, 0.1 mas/yr
    {1, 120},         {1, 120},      {1, 120},      {1, 120},  // e_pm_*, q_pm_*
    {0, 0x7FFF'FFFF},                                          // 2m_id
    {5000, 17000},    {5000, 17000}, {5000, 17000},            // 2m_j, 2m_h, 2m_ks, mmag
    {0, 254},         {0, 254},                                // 2m_ph, 2m_cc
};
static_assert(std::size(kDrawnRanges) == std::size(ucac2::kRecordFields));

/// The stored integer of a field's value (+127 undone the other way).
constexpr std::int64_t Stored(const ucac2::RecordField& field, std::int64_t value) {
  return field.plus_127 ? value - ucac2::kStoredByteOffset : value;
}

// Every value drawn fits its field as stored.
constexpr bool RangesFitFields() {
  for (std::size_t k = 0; k < std::size(kDrawnRanges); ++k) {
    const ucac2::RecordField& field = ucac2::kRecordFields[k];
    const int bits = 8 * field.width - (field.is_signed ? 1 : 0);
    const std::int64_t min = field.is_signed ? -(std::int64_t{1} << bits) : 0;
    const std::int64_t max = (std::int64_t{1} << bits) - 1;
    if (Stored(field, kDrawnRanges[k].lo) < min || Stored(field, kDrawnRanges[k].hi) > max)
      return false;
  }
  return true;
}
static_assert(RangesFitFields());

/// Stores the low `bytes` bytes of v at p, least significant first.
void StoreLE(unsigned char* p, int bytes, std::int64_t v) {
  const auto u = static_cast<std::uint64_t>(v);
  for (int b = 0; b < bytes; ++b) p[b] = static_cast<unsigned char>((u >> (8 * b)) & 0xFF);
}

/// Reads a whole decimal number in [min, max], or ends the run naming the option.
template <typename T>
T ParseNumber(std::string_view text, T min, T max, const std::string& option) {
  T value = 0;
  const char* end = text.data() + text.size();
  auto [ptr, ec] = std::from_chars(text.data(), end, value);
  if (text.empty() || ec != std::errc() || ptr != end || value < min || value > max)
    UsageError("bad value '" + std::string(text) + "' for " + option);
  return value;
}

/// Splits FILE:A:B... into its fields and finds the file's plan, or ends the run.
FilePlan& FileArgument(std::string_view text, std::size_t count, const std::string& option,
                       std::vector<FilePlan>& plans, std::vector<std::string_view>& fields) {
  fields.clear();
  std::size_t start = 0;
  for (std::size_t colon; (colon = text.find(':', start)) != std::string_view::npos;
       start = colon + 1)
    fields.push_back(text.substr(start, colon - start));
  fields.push_back(text.substr(start));
  if (fields.size() != count) UsageError("bad value '" + std::string(text) + "' for " + option);
  for (FilePlan& p : plans)
    if (fields[0] == p.file.name) return p;
  UsageError("unknown catalog file '" + std::string(fields[0]) + "' for " + option);
}

/// Names, strips and empty defaults of the catalog's files, in reading order.
std::vector<FilePlan> InitialPlans() {
  std::vector<FilePlan> plans(ucac2::kCatalogFiles);
  for (int n = 1; n <= ucac2::kCatalogFiles; ++n)
    plans[static_cast<std::size_t>(n - 1)].file = ucac2::CatalogFileAt(n);
  return plans;
}

/// Reads the command line into options and per-file plans; exits on --help or a bad argument.
void ParseCommandLine(int argc, char** argv, Options& opt, std::vector<FilePlan>& plans) {
  for (int a = 1; a < argc; ++a) {
    const std::string arg = argv[a];
    if (arg == "--help") {
      static_cast<void>(std::fputs(kUsage, stdout));
      std::exit(0);
    }
    if (arg == "--shuffle" || arg == "--even" || arg == "--quiet") {
      (arg == "--shuffle" ? opt.shuffle : arg == "--even" ? opt.even : opt.quiet) = true;
      continue;
    }
    if (arg.size() < 2 || arg[0] != '-' || arg[1] != '-') {
      if (arg.empty() || arg[0] == '-') UsageError("unknown option '" + arg + "'");
      if (!opt.dir.empty()) UsageError("more than one directory given: '" + arg + "'");
      opt.dir = arg;
      continue;
    }
    static constexpr std::string_view kValued[] = {
        "--stars",   "--bss",      "--scale", "--seed",     "--empty",
        "--missing", "--trailing", "--count", "--bad-cflg", "--set"};
    if (std::find(std::begin(kValued), std::end(kValued), arg) == std::end(kValued))
      UsageError("unknown option '" + arg + "'");
    if (a + 1 >= argc) UsageError("option " + arg + " needs a value");
    const std::string_view value = argv[++a];
    std::vector<std::string_view> fields;
    if (arg == "--stars" || arg == "--bss") {
      (arg == "--stars" ? opt.stars : opt.bss) =
          ParseNumber<std::uint64_t>(value, 0, kMaxTotalStars, arg);
      opt.spread_given = true;
    } else if (arg == "--scale") {
      const char* end = value.data() + value.size();
      auto [ptr, ec] = std::from_chars(value.data(), end, opt.scale);
      if (value.empty() || ec != std::errc() || ptr != end || !(opt.scale >= 0.0) ||
          opt.scale > kMaxScale)
        UsageError("bad value '" + std::string(value) + "' for " + arg);
      opt.scale_given = true;
    } else if (arg == "--seed") {
      opt.seed = ParseNumber<std::uint64_t>(value, 0, UINT64_MAX, arg);
    } else if (arg == "--empty" || arg == "--missing") {
      FilePlan& p = FileArgument(value, 1, arg, plans, fields);
      (arg == "--empty" ? p.empty : p.missing) = true;
    } else if (arg == "--trailing") {
      FilePlan& p = FileArgument(value, 2, arg, plans, fields);
      p.trailing = ParseNumber<std::uint64_t>(fields[1], 1, kMaxTrailing, arg);
    } else if (arg == "--count") {
      FilePlan& p = FileArgument(value, 2, arg, plans, fields);
      p.given_count = ParseNumber<std::uint64_t>(fields[1], 0, kMaxFileStars, arg);
      p.count_given = true;
    } else {
      const bool set = arg == "--set";
      FilePlan& p = FileArgument(value, set ? 4 : 2, arg, plans, fields);
      Edit e;
      e.index = ParseNumber<std::uint64_t>(fields[1], 0, kMaxFileStars, arg);
      e.bad_cflg = !set;
      e.set_position = set;
      if (set) {
        e.ra = ParseNumber(fields[2], INT32_MIN, INT32_MAX, arg);
        e.dec = ParseNumber(fields[3], INT32_MIN, INT32_MAX, arg);
      }
      p.edits.push_back(e);
    }
  }
  if (opt.dir.empty()) UsageError("no output directory given");
  if (opt.scale_given && opt.spread_given)
    UsageError("--scale cannot be used with --stars or --bss");
}

/// Spreads total stars over plans[first, last) in proportion to their published counts,
/// largest remainder first.
void Spread(std::uint64_t total, std::size_t first, std::size_t last,
            std::vector<FilePlan>& plans) {
  std::uint64_t published_total = 0;
  for (std::size_t i = first; i < last; ++i)
    published_total += static_cast<std::uint64_t>(ucac2::PublishedCount(plans[i].file));
  std::vector<std::uint64_t> remainder(plans.size());
  std::vector<std::size_t> order;
  std::uint64_t given = 0;
  for (std::size_t i = first; i < last; ++i) {
    const std::uint64_t share =
        total * static_cast<std::uint64_t>(ucac2::PublishedCount(plans[i].file));
    plans[i].count = share / published_total;
    remainder[i] = share % published_total;
    given += plans[i].count;
    order.push_back(i);
  }
  // Ties go to the lower file number, so the result never depends on the sort's algorithm.
  std::sort(order.begin(), order.end(), [&](std::size_t x, std::size_t y) {
    return remainder[x] != remainder[y] ? remainder[x] > remainder[y] : x < y;
  });
  for (std::size_t k = 0; given < total; ++k, ++given) ++plans[order[k]].count;
}

/// Settles every file's star count and checks that the edits name existing records.
void SettleCounts(const Options& opt, std::vector<FilePlan>& plans) {
  if (opt.scale_given) {
    for (FilePlan& p : plans)
      p.count = static_cast<std::uint64_t>(
          std::llround(opt.scale * static_cast<double>(ucac2::PublishedCount(p.file))));
  } else {
    Spread(opt.stars, 0, ucac2::kMainFiles, plans);
    Spread(opt.bss, ucac2::kMainFiles, ucac2::kCatalogFiles, plans);
  }
  for (FilePlan& p : plans) {
    const std::string name = p.file.name;
    if (p.count_given) p.count = p.given_count;
    if (p.empty || p.missing) {
      p.count = 0;
      p.trailing = 0;
    }
    if (p.count > kMaxFileStars)
      UsageError("too many stars (" + std::to_string(p.count) + ") for " + name);
    for (const Edit& e : p.edits)
      if (e.index >= p.count)
        UsageError(name + " has " + std::to_string(p.count) + " records, no record " +
                   std::to_string(e.index) + " to change");
    // A stable sort keeps command-line order among edits of one record, so the last one wins.
    std::stable_sort(p.edits.begin(), p.edits.end(),
                     [](const Edit& x, const Edit& y) { return x.index < y.index; });
  }
}

/// How one file's stars are laid out in right ascension: by `density`, or evenly when null.
struct Layout {
  const FilePlan* plan = nullptr;
  const sample::RaDensity* density = nullptr;
  std::uint64_t key = 0;
};

/// Builds record i of a file; it depends only on the file key and i, so shuffling only reorders.
void MakeRecord(unsigned char* r, const Layout& layout, std::uint64_t i) {
  const FilePlan& p = *layout.plan;
  std::uint64_t s = Mix64(layout.key + i * kGolden);
  // Star i lies in the i-th of count slices of equal share, so the file comes out sorted: an
  // equal share of the density, or of the circle in the even layout.
  const std::uint64_t draw = Next(s) >> 32;
  std::int64_t ra = 0;
  if (layout.density != nullptr) {
    const double u = (static_cast<double>(i) + static_cast<double>(draw) * kFractionPerDraw) /
                     static_cast<double>(p.count);
    ra = sample::RaAtFraction(*layout.density, u);
  } else {
    const std::uint64_t lo = i * kFullCircleMas / p.count;
    const std::uint64_t hi = (i + 1) * kFullCircleMas / p.count;
    ra = static_cast<std::int64_t>(lo + ((draw * (hi - lo)) >> 32));
  }
  const bool supplement = p.file.kind == ucac2::FileKind::kSupplement;
  for (std::size_t k = 0; k < std::size(ucac2::kRecordFields); ++k) {
    const ucac2::RecordField& field = ucac2::kRecordFields[k];
    std::int64_t value = ra;
    if (field.offset == ucac2::kDeclinationOffset) {
      value = Uniform(s, p.file.south, p.file.north - 1);
    } else if (field.offset != ucac2::kRightAscensionOffset) {
      value = Uniform(s, kDrawnRanges[k].lo, kDrawnRanges[k].hi);
      if (field.offset == ucac2::kFlagOffset && supplement) value |= ucac2::kSupplementFlagBit;
    }
    StoreLE(r + field.offset, field.width, Stored(field, value));
  }
}

/// Applies the edits that fall on records [first, first + n) of the buffer.
void ApplyEdits(unsigned char* buf, std::uint64_t first, std::uint64_t n, const FilePlan& p,
                std::size_t& next) {
  for (; next < p.edits.size() && p.edits[next].index < first + n; ++next) {
    const Edit& e = p.edits[next];
    unsigned char* r = buf + (e.index - first) * kRecordSize;
    if (e.set_position) {
      StoreLE(r + ucac2::kRightAscensionOffset, 4, e.ra);
      StoreLE(r + ucac2::kDeclinationOffset, 4, e.dec);
    }
    if (e.bad_cflg) r[ucac2::kFlagOffset] ^= ucac2::kSupplementFlagBit;
  }
}

/// Writes one file from its plan; returns the bytes written.
std::uint64_t WriteFile(const fs::path& path, const Layout& layout, bool shuffle,
                        std::vector<unsigned char>& buf) {
  const FilePlan& p = *layout.plan;
  std::vector<std::uint32_t> order;
  if (shuffle) {
    order.resize(p.count);
    for (std::uint64_t i = 0; i < p.count; ++i) order[i] = static_cast<std::uint32_t>(i);
    std::uint64_t s = Mix64(layout.key ^ kShuffleSalt);
    for (std::uint64_t i = p.count; i > 1; --i)
      std::swap(order[i - 1],
                order[static_cast<std::size_t>(Uniform(s, 0, static_cast<std::int64_t>(i - 1)))]);
  }
  std::FILE* f = std::fopen(path.string().c_str(), "wb");
  if (f == nullptr) IoError("create", path.string(), std::strerror(errno));
  std::size_t next_edit = 0;
  for (std::uint64_t first = 0; first < p.count; first += kBufferRecords) {
    const std::uint64_t n = std::min<std::uint64_t>(kBufferRecords, p.count - first);
    for (std::uint64_t j = 0; j < n; ++j)
      MakeRecord(buf.data() + j * kRecordSize, layout, shuffle ? order[first + j] : first + j);
    ApplyEdits(buf.data(), first, n, p, next_edit);
    if (std::fwrite(buf.data(), 1, n * kRecordSize, f) != n * kRecordSize)
      IoError("write", path.string(), std::strerror(errno));
  }
  std::uint64_t s = Mix64(layout.key ^ kTrailingSalt);
  for (std::uint64_t b = 0; b < p.trailing; ++b) buf[b] = static_cast<unsigned char>(Next(s));
  if (std::fwrite(buf.data(), 1, p.trailing, f) != p.trailing)
    IoError("write", path.string(), std::strerror(errno));
  if (std::fclose(f) != 0) IoError("write", path.string(), std::strerror(errno));
  return p.count * kRecordSize + p.trailing;
}

}  // namespace

int main(int argc, char** argv) {
  Options opt;
  std::vector<FilePlan> plans = InitialPlans();
  ParseCommandLine(argc, argv, opt, plans);
  SettleCounts(opt, plans);

  const fs::path dir(opt.dir);
  std::error_code ec;
  fs::create_directories(dir, ec);
  if (ec) IoError("create directory", opt.dir, ec.message());

  std::vector<unsigned char> buf(kBufferRecords * kRecordSize);
  std::uint64_t main_stars = 0, supplement_stars = 0, bytes = 0;
  const std::uint64_t seed_key = Mix64(opt.seed);
  for (std::size_t i = 0; i < plans.size(); ++i) {
    const FilePlan& p = plans[i];
    const fs::path path = dir / p.file.name;
    if (p.missing) {
      fs::remove(path, ec);
      if (ec) IoError("remove", path.string(), ec.message());
      continue;
    }
    // The density along the middle of the file's strip.
    const sample::RaDensity density = sample::GalacticDensity(
        (static_cast<double>(p.file.south) + static_cast<double>(p.file.north)) / 2 /
        ucac2::kMasPerDegree);
    // Each file has its own key, so changing one file's options leaves the others unchanged.
    const Layout layout{&p, opt.even ? nullptr : &density, Mix64(seed_key + (i + 1) * kGolden)};
    bytes += WriteFile(path, layout, opt.shuffle, buf);
    (p.file.kind == ucac2::FileKind::kSupplement ? supplement_stars : main_stars) += p.count;
  }
  if (!opt.quiet)
    std::printf("wrote %llu main and %llu supplement stars (%llu bytes) to %s\n",
                static_cast<unsigned long long>(main_stars),
                static_cast<unsigned long long>(supplement_stars),
                static_cast<unsigned long long>(bytes), opt.dir.c_str());
  return 0;
}
