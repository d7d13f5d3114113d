// ucac2db find and map run as a user runs them on compiled catalogs, judged against a
// brute-force scan of the same catalog, and the ordering of large results in bounded memory.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <functional>
#include <map>
#include <random>
#include <set>
#include <thread>

#include "base/catalog_files.h"
#include "db/map_axes.h"
#include "db/match.h"
#include "db/star_order.h"
#include "test_util.h"

#define STB_IMAGE_IMPLEMENTATION
#include <stb_image.h>

namespace ucac2_test {
namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kMasPerDegree = 3600000.0;
constexpr std::int64_t kFullCircle = 1296000000;

struct Star {
  std::int32_t id, ra, dec, mag, pm_ra, pm_de;  // mas, hundredths of a magnitude, 0.1 mas/yr
};

// Every star of the catalog in `dir`, numbered as the database numbers them.
std::map<std::int32_t, Star> ReadCatalog(const fs::path& dir) {
  std::map<std::int32_t, Star> stars;
  std::int32_t ids[2] = {1, ucac2::kFirstSupplementIdentifier};
  for (int n = 1; n <= ucac2::kCatalogFiles; ++n) {
    const std::string bytes = ReadFileBytes(dir / ucac2::CatalogFileAt(n).name);
    const auto* record = reinterpret_cast<const std::uint8_t*>(bytes.data());
    for (std::size_t at = 0; at + 44 <= bytes.size(); at += 44) {
      const std::int32_t id = ids[n > ucac2::kMainFiles]++;
      const auto* r = record + at;
      stars[id] = {id,
                   ucac2::LoadLE32(r),
                   ucac2::LoadLE32(r + 4),
                   static_cast<std::int16_t>(r[8] | r[9] << 8),
                   ucac2::LoadLE32(r + 20),
                   ucac2::LoadLE32(r + 24)};
    }
  }
  return stars;
}

// The angle between two positions in arcseconds, by Vincenty's formula: exact at every angle,
// and not the one ucac2db uses.
double Separation(double ra1, double dec1, double ra2, double dec2) {
  const double r = kPi / 180, ra = (ra2 - ra1) * r;
  const double s1 = std::sin(dec1 * r), c1 = std::cos(dec1 * r);
  const double s2 = std::sin(dec2 * r), c2 = std::cos(dec2 * r);
  const double cross = std::hypot(c2 * std::sin(ra), c1 * s2 - s1 * c2 * std::cos(ra));
  return std::atan2(cross, s1 * s2 + c1 * c2 * std::cos(ra)) / r * 3600;
}

// Stars planted where the zone arithmetic has its edges: RA 0 and the last mas before 360
// degrees, both poles, the 1-hour border, the band borders at +10 and -80 degrees, and two
// stars at one position (their order falls to the identifier). Each file stays in order of
// right ascension, as the catalog is.
const char* const kPlanted =
    "--count z181:6 --set z181:0:0:1000 --set z181:1:0:0 "
    "--set z181:4:1295999966:3000 --set z181:5:1295999999:2000 "
    "--count z001:4 --set z001:0:0:-323999999 --set z001:1:123456789:-324000000 "
    "--count s36:4 --set s36:0:0:324000000 --set s36:1:648000000:323999000 "
    "--count z191:5 --set z191:0:53999990:18000005 --set z191:1:53999999:18000020 "
    "--set z191:2:54000000:18000000 --set z191:3:54000034:18000010 "
    "--count z201:4 --set z201:0:135000000:36000000 --set z201:1:135000020:36000003 "
    "--count z200:3 --set z200:0:135000000:35999999 --set z200:1:135000010:35999995 "
    "--count z021:3 --set z021:1:500000000:-288000000 "
    "--count z020:3 --set z020:1:500000000:-288000001 "
    "--count z150:4 --set z150:2:699840000:-54720000 --set z150:3:699840000:-54720000 "
    "--count z288:3 --set z288:0:0:324000000 --set z288:1:500000000:324000000 "
    "--set z288:2:900000000:324000000";

class Find : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = new ScopedTempDir;
    MakeCatalog(dir_->path() / "cat", std::string("--stars 20000 --bss 3000 --seed 5 ") + kPlanted);
    fs::create_directory(dir_->path() / "db");
    ASSERT_EQ(RunProgram(UCAC2_EXE, {"../cat"}, dir_->path() / "db").status, 0);
    stars_ = ReadCatalog(dir_->path() / "cat");
  }
  static void TearDownTestSuite() { delete dir_; }

  // Runs find on the database and holds what it printed against a scan of every star: `key`
  // gives a star's distance from a cone's centre, or its place in a box's order (infinite
  // outside it), which must be at most `bound`; keys within `tolerance` may come in either
  // order, unless the stars stand at one position. Checks that every printed position gives
  // back the star's exact milliarcseconds, and that `limit` stars are the first ones. A cone
  // ordered otherwise gives `distance`, which its printed distances must follow.
  static void Check(const std::string& args, double bound, double tolerance, std::size_t limit,
                    const std::function<double(const Star&)>& key,
                    const std::function<double(const Star&)>& distance = nullptr) {
    std::vector<double> printed;
    std::vector<const Star*> found = Run(args, &printed);
    std::size_t within = 0;
    for (const auto& [id, s] : stars_) within += key(s) <= bound - tolerance;
    EXPECT_GE(found.size(), within);
    for (std::size_t i = 0; i < found.size(); ++i) {
      const Star& star = *found[i];
      EXPECT_LE(key(star), bound + tolerance) << star.id;
      if (tolerance > 0) {
        EXPECT_NEAR(printed[i], key(star), 1e-5) << star.id;
      }
      if (distance) {
        EXPECT_NEAR(printed[i], distance(star), 1e-5) << star.id;
      }
      if (i == 0) continue;
      const Star& before = *found[i - 1];
      EXPECT_LE(key(before), key(star) + tolerance) << before.id << " before " << star.id;
      if (tolerance == 0 ? key(before) == key(star)
                         : before.ra == star.ra && before.dec == star.dec) {
        EXPECT_LT(before.id, star.id);  // a tie
      }
    }
    found.resize(std::min(limit, found.size()));  // the first ones
    EXPECT_EQ(Run(args + " --limit " + std::to_string(limit), nullptr), found);
  }

  // The stars printed, in order, each position checked to give back its exact mas; the last
  // column (a cone's distances) in `last`.
  static std::vector<const Star*> Run(const std::string& args, std::vector<double>* last) {
    const RunResult run = RunDb("find --db db " + args, dir_->path());
    EXPECT_EQ(run.status, 0) << run.err;
    std::vector<const Star*> found;
    for (const std::string& line : SplitLines(run.out.substr(run.out.find('\n') + 1))) {
      const std::vector<std::string> f = SplitLines(line, ',');
      const Star* star = &stars_.at(std::stoi(f[0]));
      EXPECT_EQ(std::llround(std::stod(f[1]) * kMasPerDegree), star->ra) << line;
      EXPECT_EQ(std::llround(std::stod(f[2]) * kMasPerDegree), star->dec) << line;
      found.push_back(star);
      if (last != nullptr) last->push_back(std::stod(f.back()));
    }
    return found;
  }

  static inline ScopedTempDir* dir_ = nullptr;
  static inline std::map<std::int32_t, Star> stars_;  // by identifier
};

// Cones as typed, and the same in degrees for the scan.
const struct {
  const char* args;
  double ra, dec, radius;
} kCones[] = {
    {"--ra 0 --dec 0.0003 --radius 0.001", 0, 0.0003, 0.001},  // arcseconds, across 0h
    {"--ra 23:59:36 --dec +00:12:00 --radius 0.5", 359.9, 0.2, 0.5},
    {"--ra 0 --dec 90 --radius 3", 0, 90, 3},
    {"--ra 200 --dec 84 --radius 8", 200, 84, 8},  // over the north pole
    {"--ra 10 --dec -88 --radius 2.5", 10, -88, 2.5},
    {"--ra 15 --dec 5 --radius 0.01", 15, 5, 0.01},        // an hour border
    {"--ra 37.5 --dec 10 --radius 0.02", 37.5, 10, 0.02},  // a band border
    {"--ra 138.888889 --dec -80 --radius 0.05", 138.888889, -80, 0.05},
    {"--ra 12:57:36 --dec -15:12:00 --radius 0.3", 194.4, -15.2, 0.3},  // two at one position
    {"--ra 300 --dec 45 --radius 3", 300, 45, 3},                       // widest inside a band
    {"--ra 100 --dec -30 --radius 10", 100, -30, 10},
    {"--ra 200 --dec 20 --radius 90", 200, 20, 90},
    {"--ra 0 --dec 0 --radius 179", 0, 0, 179},
};

TEST_F(Find, ConesMatchBruteForceScan) {
  for (const auto& c : kCones) {
    SCOPED_TRACE(c.args);
    // Within 1e-6 arcseconds the two distance formulas may differ.
    Check(c.args, c.radius * 3600, 1e-6, 3, [&c](const Star& s) {
      return Separation(c.ra, c.dec, s.ra / kMasPerDegree, s.dec / kMasPerDegree);
    });
  }
}

// Boxes as typed, and the stars' mas that lie on their edges.
const struct {
  const char* args;
  std::int64_t ra_first, ra_last, dec_low, dec_high;
} kBoxes[] = {
    {"--box 350 10 -5 5", 1260000000, 36000000, -18000000, 18000000},
    {"--box 0 0 -90 90", 0, 0, -324000000, 324000000},                       // the 0h meridian only
    {"--box 0.0000001 359.9999999 -1 1", 1, 1295999999, -3600000, 3600000},  // not across 0h
    {"--box 14.99 15.01 4 6", 53964000, 54036000, 14400000, 21600000},
    // Just short of 15h and of +10 degrees: stars the compiler files in the next hour or band.
    {"--box 14.9 14.99999975 4 6", 53640000, 53999999, 14400000, 21600000},
    {"--box 37 38 9.9 9.9999999", 133200000, 136800000, 35640000, 35999999},
    {"--box 123.4567891 131.7890123 -20:20:20.5 -11.987654321", 444444441, 474440444, -73220500,
     -43155556},
    {"--box 0 360 80 90", 0, kFullCircle, 288000000, 324000000},
    {"--box 20:00:00 04:00:00 -90 -85", 1080000000, 216000000, -324000000, -306000000},
    {"--box 0 360 -90 90", 0, kFullCircle, -324000000, 324000000},
    {"--box 100 100.001 60 60.001", 360000000, 360003600, 216000000, 216003600},  // empty
};

TEST_F(Find, BoxesMatchBruteForceScan) {
  for (const auto& b : kBoxes) {
    SCOPED_TRACE(b.args);
    const bool wraps = b.ra_first > b.ra_last;
    Check(b.args, kFullCircle, 0, 2, [&b, wraps](const Star& s) {
      const bool in_ra = wraps ? (s.ra >= b.ra_first || s.ra <= b.ra_last)
                               : (s.ra >= b.ra_first && s.ra <= b.ra_last);
      return in_ra && s.dec >= b.dec_low && s.dec <= b.dec_high
                 ? static_cast<double>((s.ra - b.ra_first + kFullCircle) % kFullCircle)
                 : HUGE_VAL;
    });
  }
}

// Magnitude bounds, the orders and --nearest against the scan: --limit then gives the first
// stars of that order.
TEST_F(Find, MagnitudesAndOrdersMatchBruteForceScan) {
  const auto in_mags = [](const Star& s) { return s.mag >= 1000 && s.mag <= 1200; };
  Check("--ra 100 --dec -30 --radius 10 --mag-min 10 --mag-max 12", 36000, 1e-6, 4,
        [&](const Star& s) {
          return in_mags(s) ? Separation(100, -30, s.ra / kMasPerDegree, s.dec / kMasPerDegree)
                            : HUGE_VAL;
        });
  Check("--box 0 360 -90 90 --sort mag --mag-max 12", 1e9, 0, 5,
        [&](const Star& s) { return s.mag <= 1200 ? s.mag : HUGE_VAL; });
  // Ordered otherwise, a cone's stars still print their own distances.
  const auto from_centre = [](const Star& s) {
    return Separation(200, 20, s.ra / kMasPerDegree, s.dec / kMasPerDegree);
  };
  Check(
      "--ra 200 --dec 20 --radius 90 --sort mag --mag-min 12", 1e9, 0, 3,
      [&](const Star& s) {
        return s.mag >= 1200 && from_centre(s) <= 90 * 3600 - 1e-6 ? s.mag : HUGE_VAL;
      },
      from_centre);
  const std::string cone = "--ra 300 --dec 45 --radius 3";
  const std::vector<const Star*> nearest = Run(cone + " --nearest", nullptr);
  ASSERT_EQ(nearest.size(), 1u);
  EXPECT_EQ(nearest[0], Run(cone, nullptr).at(0));
  // Stars exactly at the pole: all at distance 0, by number.
  const RunResult pole = RunDb("find --db db --ra 0 --dec 90 --radius 0.000001", dir_->path());
  std::vector<std::string> at_pole;
  for (const std::string& line : SplitLines(pole.out.substr(pole.out.find('\n') + 1))) {
    at_pole.push_back(line.substr(0, line.find(',')) + line.substr(line.rfind(',')));
  }
  std::vector<std::string> expected;
  for (const auto& [id, s] : stars_) {
    if (s.dec == 324000000) expected.push_back(std::to_string(id) + ",0.000000");
  }
  EXPECT_EQ(expected.size(), 4u);
  EXPECT_EQ(at_pole, expected);
}

// Each option's value checked (the notations' near misses are the angle reader's own test),
// and the options that do not go together.
TEST_F(Find, BadValuesAreUsageErrors) {
  for (const char* args :
       {"--ra 360.5 --dec 0 --radius 1", "--ra 1 --dec 90.0000000000001 --radius 1",
        "--ra 1 --dec 0 --radius 0", "--ra 1 --dec 0 --radius 180.1", "--ra 1 --dec 0",
        "--ra 1 --dec 0 --radius 1 --box 1 2 3 4", "--box 1 2 3", "--box 1 2 30 20",
        "--box 1 2 x 20", "--box 1 2 3 4 --nearest", "--box 1 2 3 4 --sort distance",
        "--ra 1 --dec 1 --radius 1 --sort size",
        "--ra 1 --dec 1 --radius 1 --mag-min 12 --mag-max 11",
        "--ra 1 --dec 1 --radius 1 --epoch 3001", "--ra 1 --dec 1 --radius 1 --epoch 2000e0"}) {
    const RunResult run = RunDb(std::string("find --db db ") + args, dir_->path());
    EXPECT_EQ(run.status, 2) << args;
    EXPECT_EQ(run.out, "") << args;
  }
}

// Where a star stands `years` after J2000.0, in mas: linear motion, pmRA not multiplied by
// cos Dec, a pole crossed reflected.
std::pair<std::int64_t, std::int64_t> Moved(const Star& s, double years) {
  double ra = s.ra + s.pm_ra * 0.1 * years;
  double dec = s.dec + s.pm_de * 0.1 * years;
  const double pole = 90 * kMasPerDegree;
  if (std::fabs(dec) > pole) {
    dec = (dec > 0 ? 2 * pole : -2 * pole) - dec;
    ra += 2 * pole;
  }
  ra = std::fmod(ra, static_cast<double>(kFullCircle));
  if (ra < 0) ra += kFullCircle;
  return {std::llround(ra) % kFullCircle, std::llround(dec)};
}

// At epoch 3000 (the catalog's stars move up to 0.06 degree): the stars printed stand where
// the scan moves them, and every star the scan moves into the cone is printed; a cone at the
// pole, one across 0h, and a box across 0h.
TEST_F(Find, EpochMatchesBruteForcePropagation) {
  const struct {
    const char* args;
    double ra, dec, radius;  // a cone; radius 0: the box below
  } kRegions[] = {{"--ra 0 --dec 90 --radius 3", 0, 90, 3},
                  {"--ra 0 --dec 0.0003 --radius 0.2", 0, 0.0003, 0.2},
                  {"--ra 138.888889 --dec -80 --radius 2", 138.888889, -80, 2},
                  {"--box 300 60 -30 30", 0, 0, 0}};
  int crossed_edge = 0, crossed_pole = 0;
  for (const auto& region : kRegions) {
    SCOPED_TRACE(region.args);
    // In the region, `slack` arcseconds beyond a cone's edge counted in.
    const auto inside = [&](std::int64_t ra, std::int64_t dec, double slack) {
      if (region.radius == 0) {
        return (ra >= 300 * 3600000LL || ra <= 60 * 3600000LL) && std::llabs(dec) <= 30 * 3600000LL;
      }
      return Separation(region.ra, region.dec, static_cast<double>(ra) / kMasPerDegree,
                        static_cast<double>(dec) / kMasPerDegree) <= region.radius * 3600 + slack;
    };
    const RunResult run =
        RunDb(std::string("find --db db --epoch 3000 ") + region.args, dir_->path());
    ASSERT_EQ(run.status, 0) << run.err;
    std::set<std::int32_t> printed;
    for (const std::string& line : SplitLines(run.out.substr(run.out.find('\n') + 1))) {
      const std::vector<std::string> f = SplitLines(line, ',');
      const Star& star = stars_.at(std::stoi(f[0]));
      const auto [ra, dec] = Moved(star, 1000);
      EXPECT_EQ(std::llround(std::stod(f[1]) * kMasPerDegree), ra) << line;
      EXPECT_EQ(std::llround(std::stod(f[2]) * kMasPerDegree), dec) << line;
      EXPECT_EQ(std::llround(std::stod(f[f.size() - 2]) * kMasPerDegree), star.ra) << line;
      EXPECT_EQ(std::llround(std::stod(f.back()) * kMasPerDegree), star.dec) << line;
      EXPECT_TRUE(inside(ra, dec, 1e-6)) << line;
      printed.insert(star.id);
    }
    for (const auto& [id, s] : stars_) {
      const auto [ra, dec] = Moved(s, 1000);
      if (inside(ra, dec, -1e-6)) {
        EXPECT_TRUE(printed.count(id)) << id;
      }
      crossed_edge += inside(ra, dec, 0) != inside(s.ra, s.dec, 0);
      crossed_pole += region.radius == 3 && (ra < 648000000) != (s.ra < 648000000);
    }
    EXPECT_GT(printed.size(), 0u);
  }
  EXPECT_GT(crossed_edge, 0);  // a star that moved in or out
  EXPECT_GT(crossed_pole, 0);  // over the pole
}

// A target of a match: its position in degrees and as typed.
struct Target {
  double ra, dec;
  std::string ra_text, dec_text;
};

// Targets on stars, a few arcseconds off stars, at RA 0 and just short of 360, at both poles,
// on and beside hour and band borders, on two stars at one position (typed sexagesimal), and
// anywhere.
std::vector<Target> MakeTargets(const std::map<std::int32_t, Star>& stars) {
  std::vector<Target> targets;
  const auto add = [&targets](double ra, double dec) {
    char ra_text[32], dec_text[32];
    std::snprintf(ra_text, sizeof ra_text, "%.9f", ra);
    std::snprintf(dec_text, sizeof dec_text, "%.9f", dec);
    targets.push_back({std::stod(ra_text), std::stod(dec_text), ra_text, dec_text});
  };
  std::mt19937 rng(3);
  std::uniform_real_distribution<double> offset(-2.0 / 3600, 2.0 / 3600), unit(0, 1);
  int n = 0;
  for (const auto& [id, s] : stars) {
    const double ra = s.ra / kMasPerDegree, dec = s.dec / kMasPerDegree;
    if (++n % 400 == 0) add(ra, dec);
    if (n % 500 == 0)
      add(std::fmod(ra + offset(rng) + 360, 360), std::clamp(dec + offset(rng), -90.0, 90.0));
  }
  for (const auto& [ra, dec] : std::vector<std::pair<double, double>>{{0, 0.0003},
                                                                      {359.9999999, 0.0005},
                                                                      {0, 90},
                                                                      {77, 90},
                                                                      {123.4567, -90},
                                                                      {15, 5},
                                                                      {14.9999999, 5.0000001},
                                                                      {37.5, 10},
                                                                      {37.5000056, 9.9999999},
                                                                      {138.888889, -80}}) {
    add(ra, dec);
  }
  targets.push_back({194.4, -15.2, "12:57:36", "-15:12:00"});
  for (int i = 0; i < 150; ++i) add(360 * unit(rng), std::asin(2 * unit(rng) - 1) / kPi * 180);
  return targets;
}

// match against the scan of every star for every target: the nearest star within the radius
// (ties to the smaller number), with --unmatched every target once; with --all every star
// within the radius, nearest first; the targets' order kept; and the same through the sort's
// temporary file when it may hold only three records in memory. The same at another epoch,
// against the stars moved by brute force.
TEST_F(Find, MatchAgreesWithBruteForceNearest) {
  // At J2000.0, then at epoch 3000 with the targets planted where the stars have moved to.
  for (const bool moved : {false, true}) {
    SCOPED_TRACE(moved ? "epoch 3000" : "J2000");
    std::map<std::int32_t, Star> at = stars_;
    if (moved) {
      for (auto& [id, s] : at) {
        const auto [ra, dec] = Moved(stars_.at(id), 1000);
        s.ra = static_cast<std::int32_t>(ra);
        s.dec = static_cast<std::int32_t>(dec);
      }
    }
    const std::vector<Target> targets = MakeTargets(at);
    std::string table = "name,RAJ2000,DEJ2000\n";
    for (std::size_t i = 0; i < targets.size(); ++i) {
      table +=
          "t" + std::to_string(i) + "," + targets[i].ra_text + "," + targets[i].dec_text + "\n";
    }
    WriteFileBytes(dir_->path() / "targets.csv", table);
    constexpr double kRadius = 20;  // arcseconds
    const auto distance = [&](const Target& t, const Star& s) {
      return Separation(t.ra, t.dec, s.ra / kMasPerDegree, s.dec / kMasPerDegree);
    };
    for (const bool all : {false, true}) {
      const std::string args = std::string("match --db db targets.csv --radius 20") +
                               (all ? " --all" : " --unmatched") + (moved ? " --epoch 3000" : "");
      const RunResult run = RunDb(args, dir_->path());
      ASSERT_EQ(run.status, 0) << run.err;
      std::map<std::size_t, std::vector<std::pair<std::int32_t, double>>> found;  // by target
      std::map<std::size_t, int> lines;                                           // by target
      std::size_t last_target = 0;
      for (const std::string& line : SplitLines(run.out.substr(run.out.find('\n') + 1))) {
        const std::vector<std::string> f = SplitLines(line, ',');
        const std::size_t t = std::stoul(f[0].substr(1));
        EXPECT_GE(t, last_target) << line;  // the targets' order
        last_target = t;
        EXPECT_EQ(f[1] + "," + f[2], targets[t].ra_text + "," + targets[t].dec_text);
        found[t];
        ++lines[t];
        if (!f[3].empty()) {
          found[t].emplace_back(std::stoi(f[3]), std::stod(f[f.size() - (moved ? 3 : 1)]));
        }
      }
      int matched = 0;
      for (std::size_t t = 0; t < targets.size(); ++t) {
        SCOPED_TRACE(targets[t].ra_text + " " + targets[t].dec_text);
        std::vector<std::pair<double, std::int32_t>> within;  // (distance, id), sorted
        for (const auto& [id, s] : at) {
          const double d = distance(targets[t], s);
          if (d <= kRadius + 1e-6) within.emplace_back(d, id);
        }
        std::sort(within.begin(), within.end());
        EXPECT_EQ(found.count(t) > 0, all ? !within.empty() : true);
        const auto& printed = found[t];
        if (!all) {
          EXPECT_EQ(lines[t], 1);  // --unmatched: every target once, matched or not
          ASSERT_LE(printed.size(), 1u);
          if (within.empty() || printed.empty()) {
            EXPECT_TRUE(within.empty() || within[0].first > kRadius - 1e-6) << printed.size();
            continue;
          }
          ++matched;
          // Another star may tie to within the two formulas' difference, unless both stand at
          // one position.
          const Star& best = at.at(within[0].second);
          const Star& got = at.at(printed[0].first);
          EXPECT_TRUE(got.id == best.id ||
                      (std::fabs(distance(targets[t], got) - within[0].first) < 1e-6 &&
                       (got.ra != best.ra || got.dec != best.dec)))
              << got.id << " for " << best.id;
          EXPECT_NEAR(printed[0].second, within[0].first, 2e-6);
          continue;
        }
        std::set<std::int32_t> expected, got;
        for (const auto& [d, id] : within) {
          if (d <= kRadius - 1e-6) expected.insert(id);
        }
        for (std::size_t i = 0; i < printed.size(); ++i) {
          got.insert(printed[i].first);
          if (i > 0) {
            EXPECT_LE(printed[i - 1].second, printed[i].second);
            if (printed[i - 1].second == printed[i].second) {
              EXPECT_LT(printed[i - 1].first, printed[i].first);
            }
          }
        }
        EXPECT_TRUE(std::includes(got.begin(), got.end(), expected.begin(), expected.end()));
        EXPECT_LE(got.size(), within.size());
      }
      if (!all) {
        EXPECT_GT(matched, 100);
      }
      // The same through the temporary files of both sorts.
      ucac2::MatchOptions options;
      options.db = (dir_->path() / "db").string();
      options.radius_arcsec = kRadius;
      options.all = all;
      options.unmatched = !all;
      options.run = 3;
      options.moved = moved;
      options.years = moved ? 1000 : 0;
      std::FILE* out = std::tmpfile();
      ASSERT_NE(out, nullptr);
      EXPECT_EQ(ucac2::MatchTargets((dir_->path() / "targets.csv").string(), options, out), 0);
      std::string spilled(static_cast<std::size_t>(std::ftell(out)), '\0');
      std::rewind(out);
      EXPECT_EQ(std::fread(spilled.data(), 1, spilled.size(), out), spilled.size());
      std::fclose(out);
      EXPECT_EQ(spilled, run.out);
    }
  }
}

// Rows that cannot be read are named with their line numbers and the others matched (status
// 1); quoted fields come back quoted; a TSV's columns are found by their names (a byte-order
// mark before them skipped), others by --ra-col and --dec-col.
TEST_F(Find, MatchTablesAsWritten) {
  WriteFileBytes(dir_->path() / "bad.csv",
                 "name,ra,dec\r\na,10,20\r\nb,10\nc,12h61m,5\ne,1,2,3\nf,\"1\"x,2\n"
                 "\"g, \"\"the\"\" star\",350,-20\n\"h,10,20\n");
  const RunResult bad = RunDb("match --db db bad.csv --unmatched", dir_->path());
  EXPECT_EQ(bad.status, 1);
  EXPECT_EQ(bad.err,
            "bad.csv: line 3: 2 fields, the header line has 3\n"
            "bad.csv: line 4: '12h61m' is not a right ascension\n"
            "bad.csv: line 5: 4 fields, the header line has 3\n"
            "bad.csv: line 6: text after a quoted field's closing quote\n"
            "bad.csv: line 8: a quoted field does not end\n");
  const std::vector<std::string> lines = SplitLines(bad.out);
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[1].substr(0, 8), "a,10,20,");
  EXPECT_EQ(lines[2].substr(0, 30), "\"g, \"\"the\"\" star\",350,-20,,,,,");

  WriteFileBytes(dir_->path() / "t.tsv",
                 "\xEF\xBB\xBFName\tRA_ICRS\tDE_ICRS\n12h\t12:57:36\t-15:12:00\n");
  const RunResult tsv = RunDb("match --db db t.tsv --all --radius 0.001", dir_->path());
  EXPECT_EQ(tsv.status, 0) << tsv.err;
  ASSERT_EQ(SplitLines(tsv.out).size(), 3u);  // the two stars at one position
  EXPECT_EQ(SplitLines(tsv.out)[0].substr(0, 24), "Name,RA_ICRS,DE_ICRS,id,");  // no BOM
  WriteFileBytes(dir_->path() / "odd.csv", "name,alpha_deg,delta_deg\nx,194.4,-15.2\n");
  const RunResult odd = RunDb("match --db db odd.csv", dir_->path());
  EXPECT_EQ(odd.status, 1);
  EXPECT_EQ(odd.err, "odd.csv: no right ascension column in the header line\n");
  const RunResult named =
      RunDb("match --db db odd.csv --ra-col ALPHA_deg --dec-col delta_deg", dir_->path());
  EXPECT_EQ(named.status, 0);
  EXPECT_EQ(SplitLines(named.out).size(), 2u);
  EXPECT_EQ(RunDb("match --db db odd.csv --radius 0", dir_->path()).status, 2);
}

// Every field decoded into its unit, from records written byte by byte; a damaged or missing
// zone file; a region holding nothing.
TEST(FindFields, EveryFieldInItsUnit) {
  ScopedTempDir tmp;
  MakeCatalog(tmp.path() / "cat", "--stars 0 --bss 0");
  // Items as (offset, width, value), little-endian.
  const auto record = [](const std::vector<std::array<std::int64_t, 3>>& items) {
    std::string bytes(44, '\0');
    for (const auto& [offset, width, value] : items)
      for (std::int64_t i = 0; i < width; ++i)
        bytes[offset + i] = static_cast<char>(static_cast<std::uint64_t>(value) >> (8 * i));
    return bytes;
  };
  // A main star just south of the equator, and a supplement star: epochs in hundredths.
  WriteFileBytes(
      tmp.path() / "cat" / "z180",
      record({{0, 4, 1},      {4, 4, -1},      {8, 2, -5},         {10, 1, -127}, {11, 1, 127},
              {12, 1, 3},     {13, 1, 0},      {14, 1, -2},        {15, 1, 0x41}, {16, 2, -1500},
              {18, 2, 25000}, {20, 4, -12345}, {24, 4, 7},         {28, 1, -100}, {29, 1, 5},
              {30, 1, -27},   {31, 1, -126},   {32, 4, 123456789}, {36, 2, -1},   {38, 2, 15000},
              {40, 2, 32767}, {42, 1, -127},   {43, 1, 1}}));
  WriteFileBytes(
      tmp.path() / "cat" / "s19",
      record({{0, 4, 1295999999}, {4, 4, 17999999}, {15, 1, 0x80}, {16, 2, 1650}, {18, 2, -5}}));
  fs::create_directory(tmp.path() / "db");
  ASSERT_EQ(RunProgram(UCAC2_EXE, {"../cat"}, tmp.path() / "db").status, 0);
  const RunResult run = RunDb("find --box 0 360 -90 90", tmp.path() / "db");
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out,
            "id,ra,dec,u2r_mag,e_ra_m,e_de_m,nobs,e_pos,ncat,cflg,ep_ra_m,ep_de_m,pm_ra,pm_de,"
            "e_pm_ra,e_pm_de,q_pm_ra,q_pm_de,2m_id,2m_j,2m_h,2m_ks,2m_ph,2m_cc\n"
            "1,0.000000278,-0.000000278,-0.05,0,254,3,127,-2,65,1973.500,2000.000,-1234.5,0.7,"
            "2.7,13.2,5.00,0.05,123456789,-0.001,15.000,32.767,0,128\n"
            "50000001,359.999999722,4.999999722,0.00,127,127,0,127,0,128,1991.500,1974.950,0.0,"
            "0.0,12.7,12.7,6.35,6.35,0,0.000,0.000,0.000,127,127\n");
  // A zone file the region needs is named as in the current folder and read only when its
  // head agrees with its size (one entry of 200 bytes); one it does not need is not read.
  const fs::path hour_0_file = tmp.path() / "db" / "UCAC2_00.dat";
  for (const auto& [size, error] : std::vector<std::pair<int, std::string>>{
           {248, "damaged zone file: its header and band index do not match its 248 bytes"},
           {151, "damaged zone file: shorter than its header and band index"},
           {0, "missing or unreadable zone file"}}) {
    if (size > 0) fs::resize_file(hour_0_file, static_cast<std::uintmax_t>(size));
    if (size == 0) fs::remove(hour_0_file);
    const RunResult hour_0 = RunDb("find --ra 7.5 --dec 0 --radius 1", tmp.path() / "db");
    EXPECT_EQ(hour_0.status, 1);
    EXPECT_EQ(hour_0.out, "");
    EXPECT_EQ(hour_0.err, "UCAC2_00.dat: " + error + "\n");
  }
  const RunResult elsewhere = RunDb("find --ra 100 --dec 0 --radius 1", tmp.path() / "db");
  EXPECT_EQ(elsewhere.status, 0);
  EXPECT_EQ(elsewhere.out, SplitLines(run.out)[0] + ",dist_arcsec\n");
}

// More stars (or target rows) than memory holds go through a temporary file; a folder for it
// that does not exist is named, and nothing is printed.
TEST(FindFields, MissingTemporaryFolderIsNamed) {
  ScopedTempDir tmp;
  MakeCatalog(tmp.path() / "cat", "--stars 160000 --bss 0");
  fs::create_directory(tmp.path() / "db");
  ASSERT_EQ(RunProgram(UCAC2_EXE, {"../cat"}, tmp.path() / "db").status, 0);
  const std::string folder = (tmp.path() / "none").string();
  const RunResult run = RunProgram(UCAC2DB_EXE, {"find", "--box", "0", "360", "-90", "90"},
                                   tmp.path() / "db", {"TMPDIR=" + folder});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.err, folder +
                         ": the folder for temporary files does not exist; the stars found "
                         "cannot be sorted\n");
  // match keeps its targets' rows there past a megabyte.
  std::string targets = "name,ra,dec\n";
  for (int i = 0; i < 1100; ++i) targets += std::string(1000, 'x') + ",10,20\n";
  WriteFileBytes(tmp.path() / "db" / "t.csv", targets);
  const RunResult match =
      RunProgram(UCAC2DB_EXE, {"match", "t.csv"}, tmp.path() / "db", {"TMPDIR=" + folder});
  EXPECT_EQ(match.status, 1);
  EXPECT_EQ(match.out, "");
  EXPECT_EQ(
      match.err,
      folder + ": the folder for temporary files does not exist; the targets cannot be sorted\n");
}

// The first stars by key then identifier, whatever the limit and however many runs the
// memory bound forces into the temporary file.
TEST(StarOrder, FirstStarsInOrderUnderAnyBound) {
  std::mt19937 random(3);
  std::vector<std::pair<std::uint64_t, std::int32_t>> stars;
  for (std::int32_t id = 1; id <= 1000; ++id) stars.emplace_back(random() % 50, id);
  std::shuffle(stars.begin(), stars.end(), random);
  std::vector<std::pair<std::uint64_t, std::int32_t>> sorted = stars;
  std::sort(sorted.begin(), sorted.end());
  for (std::size_t capacity : {7u, 100u, 5000u}) {
    for (std::int64_t limit : {-1, 0, 3, 7, 8, 999, 5000}) {
      ucac2::StarOrder order;
      ucac2::StartOrder(order, limit, capacity);
      for (const auto& [key, id] : stars) {
        std::uint8_t entry[ucac2::kEntrySize] = {};
        ucac2::StoreLE32(entry, id);
        entry[47] = static_cast<std::uint8_t>(id);
        ASSERT_TRUE(ucac2::AddToOrder(order, key, entry));
      }
      decltype(sorted) emitted;
      ASSERT_TRUE(ucac2::EmitInOrder(
          order,
          [](void* out, const ucac2::KeyedStar& star) {
            EXPECT_EQ(star.entry[47], static_cast<std::uint8_t>(ucac2::LoadLE32(star.entry)));
            static_cast<decltype(sorted)*>(out)->emplace_back(star.key,
                                                              ucac2::LoadLE32(star.entry));
          },
          &emitted));
      decltype(sorted) wanted = sorted;
      if (limit >= 0) wanted.resize(std::min(static_cast<std::size_t>(limit), sorted.size()));
      EXPECT_EQ(emitted, wanted) << capacity << " " << limit;
    }
  }
}

// A map's pixels, RGB row by row from the top.
struct Picture {
  int width = 0, height = 0;
  std::vector<std::uint8_t> rgb;
};

// A missing catalog file is drawn as an empty strip, and found (status 1).
Picture Map(const fs::path& dir, const std::string& args, int status = 0) {
  EXPECT_EQ(RunDb("map sky.png " + args, dir).status, status) << args;
  Picture p;
  int channels = 0;
  stbi_uc* decoded = stbi_load((dir / "sky.png").c_str(), &p.width, &p.height, &channels, 3);
  if (decoded != nullptr) p.rgb.assign(decoded, decoded + std::ptrdiff_t{3} * p.width * p.height);
  stbi_image_free(decoded);
  return p;
}

// The colour of pixel (x, y).
const std::uint8_t* Pixel(const Picture& p, int x, int y) {
  return &p.rgb[3 * (static_cast<std::size_t>(y) * static_cast<std::size_t>(p.width) +
                     static_cast<std::size_t>(x))];
}

// The pixels (x, y) where two pictures of one size differ.
std::vector<std::pair<int, int>> Differences(const Picture& a, const Picture& b) {
  std::vector<std::pair<int, int>> at;
  for (std::size_t i = 0; i < a.rgb.size(); i += 3) {
    const int pixel = static_cast<int>(i / 3);
    if (!std::equal(&a.rgb[i], &a.rgb[i] + 3, &b.rgb[i]))
      at.emplace_back(pixel % a.width, pixel / a.width);
  }
  return at;
}

TEST(SkyMap, StarsShowWhereTheyStandAndMissingFilesAsEmptyStrips) {
  ScopedTempDir tmp;
  fs::create_directory(tmp.path() / "none");
  const Picture empty = Map(tmp.path(), "--catalog none --width 100 --no-labels", 1);
  EXPECT_EQ(std::pair(empty.width, empty.height), std::pair(100, 50));
  // RA 30.5, Dec +45.25 and RA 180, Dec -89.75 degrees: RA grows to the left, north is up.
  MakeCatalog(tmp.path() / "two",
              "--stars 0 --bss 0 --count s28:1 --set s28:0:109800000:162900000 --count z001:1 "
              "--set z001:0:648000000:-323100000");
  const Picture two = Map(tmp.path(), "--catalog two --width 100 --no-labels");
  EXPECT_EQ(Differences(two, empty), (std::vector<std::pair<int, int>>{{99 - 8, 12}, {49, 49}}));
  // The database draws the same picture as its catalog.
  fs::create_directory(tmp.path() / "db");
  ASSERT_EQ(RunProgram(UCAC2_EXE, {"../two"}, tmp.path() / "db").status, 0);
  EXPECT_TRUE(Differences(Map(tmp.path(), "--db db --width 100 --no-labels"), two).empty());
  // Drawn apart, the supplement star takes its own colour; the main star keeps its own.
  const Picture apart = Map(tmp.path(), "--catalog two --width 100 --no-labels --supplement");
  EXPECT_EQ(Differences(apart, two), (std::vector<std::pair<int, int>>{{99 - 8, 12}}));
  EXPECT_TRUE(
      std::equal(ucac2::kSupplementColour, ucac2::kSupplementColour + 3, Pixel(apart, 99 - 8, 12)));

  // z150 holds -15.5 .. -15 degrees: row 210 of 360.
  MakeCatalog(tmp.path() / "full", "--stars 30000 --bss 0");
  MakeCatalog(tmp.path() / "gap", "--stars 30000 --bss 0 --missing z150");
  const Picture blank = Map(tmp.path(), "--catalog none --width 720 --no-labels", 1);
  const auto rows = [&](const char* catalog) {  // the rows that show a star
    std::set<int> at;
    const Picture p =
        Map(tmp.path(), std::string("--catalog ") + catalog + " --width 720 --no-labels",
            catalog == std::string("gap") ? 1 : 0);
    for (const auto& [x, y] : Differences(p, blank)) at.insert(y);
    return at;
  };
  const std::set<int> full = rows("full"), gap = rows("gap");
  EXPECT_EQ(blank.height, 360);
  EXPECT_TRUE(full.count(210) == 1 && gap.count(210) == 0);
  EXPECT_TRUE(gap.count(209) == 1 && gap.count(211) == 1);
}

// With labels, the plot stands unchanged inside margins that hold the labels; a mark circles
// its position.
TEST(SkyMap, LabelsStandInMarginsAroundTheSamePlot) {
  ScopedTempDir tmp;
  MakeCatalog(tmp.path() / "cat", "--stars 3000 --bss 100");
  const std::string mark = " --mark 06:00:00 +45:00:00";  // RA 90, Dec 45: pixel (74, 12)
  const Picture bare = Map(tmp.path(), "--catalog cat --width 100 --no-labels" + mark);
  const Picture unmarked = Map(tmp.path(), "--catalog cat --width 100 --no-labels");
  const std::vector<std::pair<int, int>> ring = Differences(bare, unmarked);
  ASSERT_FALSE(ring.empty());
  const auto [x_low, x_high] = std::minmax_element(
      ring.begin(), ring.end(), [](auto& a, auto& b) { return a.first < b.first; });
  const auto [y_low, y_high] = std::minmax_element(
      ring.begin(), ring.end(), [](auto& a, auto& b) { return a.second < b.second; });
  EXPECT_EQ(std::pair(x_low->first + x_high->first, y_low->second + y_high->second),
            std::pair(2 * 74, 2 * 12));

  const Picture labelled = Map(tmp.path(), "--catalog cat --width 100" + mark);
  const ucac2::MapLayout layout = ucac2::LayoutMap(100, true);
  ASSERT_EQ(std::pair(labelled.width, labelled.height), std::pair(layout.width, layout.height));
  Picture plot{100, 50, {}};
  for (int y = 0; y < 50; ++y) {
    const std::uint8_t* row = Pixel(labelled, layout.plot_x, layout.plot_y + y);
    plot.rgb.insert(plot.rgb.end(), row, row + std::size_t{3} * 100);
  }
  EXPECT_TRUE(Differences(plot, bare).empty());
  // Something is drawn in each margin: the title above, the declinations on the left, the
  // right ascensions and the colour bar below.
  const auto inked = [&](int x0, int y0, int x1, int y1) {
    int count = 0;
    for (int y = y0; y < y1; ++y)
      for (int x = x0; x < x1; ++x) count += *Pixel(labelled, x, y) != 255;
    return count;
  };
  const int bottom = layout.plot_y + 50 + 1;
  EXPECT_GT(inked(0, 0, labelled.width, layout.plot_y - 1), 0);
  EXPECT_GT(inked(0, layout.plot_y, layout.plot_x - 1, layout.plot_y + 50), 0);
  EXPECT_GT(inked(0, bottom, labelled.width, bottom + (labelled.height - bottom) / 2), 0);
  EXPECT_GT(inked(0, bottom + (labelled.height - bottom) / 2, labelled.width, labelled.height), 0);
}

// map's output is written whole or not at all: never onto one of its inputs, whatever the
// name; two runs onto one output leave one whole picture; a run cut short by a file-size limit
// leaves the file that stood there, and no piece beside it.
TEST(SkyMap, OutputIsWholeOrUntouched) {
  ScopedTempDir tmp;
  MakeCatalog("cat", "--stars 3000 --bss 40");
  fs::create_directory("db");
  ASSERT_EQ(RunProgram(UCAC2_EXE, {"../cat"}, "db").status, 0);
  const std::string zone = ReadFileBytes("db/UCAC2_05.dat"), record = ReadFileBytes("cat/z100");
  fs::create_hard_link("cat/z100", "z100.png");
  const std::string refused = ", a file the map is drawn from; left as it is\n";
  for (const auto& [args, err] : std::vector<std::pair<std::string, std::string>>{
           {"map UCAC2_05.dat", "UCAC2_05.dat: is UCAC2_05.dat" + refused},
           {"map ../db/UCAC2_05.dat --db .", "../db/UCAC2_05.dat: is UCAC2_05.dat" + refused},
           {"map ../z100.png --catalog ../cat", "../z100.png: is ../cat/z100" + refused}}) {
    const RunResult run = RunDb(args, "db");
    EXPECT_EQ(run.status, 1) << args;
    EXPECT_EQ(run.err, err);
  }
  EXPECT_EQ(ReadFileBytes("db/UCAC2_05.dat"), zone);
  EXPECT_EQ(ReadFileBytes("cat/z100"), record);

  const auto decoded = [](const char* path) {
    int width = 0, height = 0, channels = 0;
    stbi_uc* pixels = stbi_load(path, &width, &height, &channels, 3);
    stbi_image_free(pixels);
    return pixels == nullptr ? 0 : width;
  };
  // Two runs at once onto one output, several times over: one of the two pictures.
  for (int round = 0; round < 5; ++round) {
    std::thread wide([] { RunDb("map both.png --db db --width 1000 --no-labels", "."); });
    RunDb("map both.png --db db --width 600 --no-labels", ".");
    wide.join();
    EXPECT_TRUE(decoded("both.png") == 1000 || decoded("both.png") == 600) << round;
    const std::string bytes = ReadFileBytes("both.png");
    EXPECT_EQ(bytes.find("IEND"), bytes.rfind("IEND")) << "two pictures joined";
  }
  const std::string before = ReadFileBytes("both.png");
  const RunResult cut = RunProgram(UCAC2DB_EXE, {"map", "both.png", "--db", "db"}, ".", {}, [] {
    const rlimit size_limit = {4096, 4096};
    setrlimit(RLIMIT_FSIZE, &size_limit);
  });
  EXPECT_EQ(cut.status, 1);
  EXPECT_EQ(cut.err, "both.png: cannot be written\n");
  EXPECT_EQ(ReadFileBytes("both.png"), before);
  for (const std::string& name : Listing("."))
    EXPECT_EQ(name.find(".part"), std::string::npos) << name;
}

}  // namespace
}  // namespace ucac2_test
