// ucac2db find and map run as a user runs them on compiled catalogs, judged against a
// brute-force scan of the same catalog, and the ordering of large results in bounded memory.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <random>

#include "db/star_order.h"
#include "test_util.h"

#define STB_IMAGE_IMPLEMENTATION
#include <stb_image.h>

namespace ucac2_test {
namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kMasPerDegree = 3600000.0;
constexpr std::int64_t kFullCircle = 1296000000;
constexpr double kTolerance = 1e-6;  // arcseconds: the two distance formulas may differ by this

struct Star {
  std::int32_t id, ra, dec;
};

std::int32_t Load32(const std::string& bytes, std::size_t at) {
  std::uint32_t u = 0;
  for (std::size_t i = 4; i-- > 0;) u = (u << 8) | static_cast<unsigned char>(bytes[at + i]);
  return static_cast<std::int32_t>(u);
}

// Every star of the catalog in `dir`, numbered as the database numbers them.
std::vector<Star> ReadCatalog(const fs::path& dir) {
  std::vector<Star> stars;
  std::int32_t ids[2] = {1, 50000001};
  for (int n = 1; n <= 288 + 36; ++n) {
    char name[8];
    std::snprintf(name, sizeof name, n <= 288 ? "z%03d" : "s%02d", n <= 288 ? n : n - 288);
    const std::string bytes = ReadFileBytes(dir / name);
    for (std::size_t at = 0; at + 44 <= bytes.size(); at += 44) {
      stars.push_back({ids[n > 288]++, Load32(bytes, at), Load32(bytes, at + 4)});
    }
  }
  return stars;
}

// The angle between two positions in arcseconds, by the vector form.
double Separation(double ra1, double dec1, double ra2, double dec2) {
  const double r = kPi / 180;
  const double a[3] = {std::cos(dec1 * r) * std::cos(ra1 * r),
                       std::cos(dec1 * r) * std::sin(ra1 * r), std::sin(dec1 * r)};
  const double b[3] = {std::cos(dec2 * r) * std::cos(ra2 * r),
                       std::cos(dec2 * r) * std::sin(ra2 * r), std::sin(dec2 * r)};
  const double cross[3] = {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2],
                           a[0] * b[1] - a[1] * b[0]};
  const double sine = std::sqrt(cross[0] * cross[0] + cross[1] * cross[1] + cross[2] * cross[2]);
  return std::atan2(sine, a[0] * b[0] + a[1] * b[1] + a[2] * b[2]) / r * 3600;
}

std::vector<std::string> Fields(const std::string& line) {
  std::vector<std::string> fields(1);
  for (char c : line) {
    if (c == ',') {
      fields.emplace_back();
    } else {
      fields.back().push_back(c);
    }
  }
  return fields;
}

// Runs ucac2db with its standard output in a file: a large result must not wait on a pipe.
RunResult RunDb(const fs::path& dir, const std::vector<std::string>& args) {
  std::string command = "exec '" UCAC2DB_EXE "'";
  for (const std::string& arg : args) command += " '" + arg + "'";
  RunResult run = RunProgram("/bin/sh", {"-c", command + " > out.csv"}, dir);
  run.out = ReadFileBytes(dir / "out.csv");
  return run;
}

// Stars planted where the zone arithmetic has its edges: RA 0 and the last mas before 360
// degrees, both poles, the 1-hour border, the band borders at +10 and -80 degrees, and two
// stars at one position (their order falls to the identifier).
const char* const kPlanted =
    "--count z181:6 --set z181:0:0:1000 --set z181:1:1295999999:2000 "
    "--set z181:2:1295999966:3000 --set z181:3:0:0 "
    "--count z001:4 --set z001:0:123456789:-324000000 --set z001:1:0:-323999999 "
    "--count s36:4 --set s36:0:0:324000000 --set s36:1:648000000:323999000 "
    "--count z191:5 --set z191:0:54000000:18000000 --set z191:1:53999990:18000005 "
    "--set z191:2:54000034:18000010 --set z191:3:53999999:18000020 "
    "--count z201:4 --set z201:0:135000000:36000000 --set z201:1:135000020:36000003 "
    "--count z200:3 --set z200:0:135000010:35999995 --set z200:1:135000000:35999999 "
    "--count z021:3 --set z021:0:500000000:-288000000 "
    "--count z020:3 --set z020:0:500000000:-288000001 "
    "--count z150:4 --set z150:0:699840000:-54720000 --set z150:1:699840000:-54720000";

class Find : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = new ScopedTempDir;
    MakeCatalog(dir_->path() / "cat", std::string("--stars 20000 --bss 3000 --seed 5 ") + kPlanted);
    fs::create_directory(dir_->path() / "db");
    const RunResult compiled = RunProgram(UCAC2_EXE, {"../cat"}, dir_->path() / "db");
    ASSERT_EQ(compiled.status, 0) << compiled.err;
    stars_ = new std::vector<Star>(ReadCatalog(dir_->path() / "cat"));
  }
  static void TearDownTestSuite() {
    delete stars_;
    delete dir_;
  }

  // Runs find on the database, checks the header and that every printed position gives back
  // the star's exact milliarcseconds; the stars printed, in order.
  static std::vector<const Star*> Run(const std::vector<std::string>& args, bool cone,
                                      std::vector<double>* distances = nullptr) {
    std::vector<std::string> full = {"find", "--db", (dir_->path() / "db").string()};
    full.insert(full.end(), args.begin(), args.end());
    const RunResult run = RunDb(dir_->path(), full);
    EXPECT_EQ(run.status, 0) << run.err;
    std::map<std::int32_t, const Star*> by_id;
    for (const Star& s : *stars_) by_id[s.id] = &s;
    const std::vector<std::string> lines = SplitLines(run.out);
    std::vector<const Star*> found;
    EXPECT_FALSE(lines.empty());
    for (std::size_t i = 0; i < lines.size(); ++i) {
      const std::vector<std::string> f = Fields(lines[i]);
      EXPECT_EQ(f.size(), cone ? 25u : 24u) << lines[i];
      if (i == 0) {
        EXPECT_EQ(f[0] + f[1] + f[2] + f.back(), cone ? "idradecdist_arcsec" : "idradec2m_cc");
        continue;
      }
      const Star* star = by_id.at(std::stoi(f[0]));
      EXPECT_EQ(std::llround(std::stod(f[1]) * kMasPerDegree), star->ra) << lines[i];
      EXPECT_EQ(std::llround(std::stod(f[2]) * kMasPerDegree), star->dec) << lines[i];
      found.push_back(star);
      if (distances != nullptr) distances->push_back(std::stod(f.back()));
    }
    return found;
  }

  static ScopedTempDir* dir_;
  static std::vector<Star>* stars_;
};

ScopedTempDir* Find::dir_ = nullptr;
std::vector<Star>* Find::stars_ = nullptr;

struct ConeCase {
  const char* name;
  const char *ra, *dec, *radius;       // as typed
  double ra_deg, dec_deg, radius_deg;  // the same, for the scan
};

const ConeCase kCones[] = {
    {"arcseconds_across_0h", "0", "0.0003", "0.001", 0, 0.0003, 0.001},
    {"across_0h", "359.9", "0.2", "0.5", 359.9, 0.2, 0.5},
    {"across_0h_sexagesimal", "23:59:36", "+00:12:00", "0.5", 359.9, 0.2, 0.5},
    {"on_north_pole", "0", "90", "3", 0, 90, 3},
    {"over_north_pole", "200", "84", "8", 200, 84, 8},
    {"over_south_pole", "10", "-88", "2.5", 10, -88, 2.5},
    {"hour_border", "15", "5", "0.01", 15, 5, 0.01},
    {"band_border", "37.5", "10", "0.02", 37.5, 10, 0.02},
    {"band_border_south", "138.888889", "-80", "0.05", 138.888889, -80, 0.05},
    {"tie_by_identifier", "12:57:36", "-15:12:00", "0.3", 194.4, -15.2, 0.3},
    {"widest_inside_a_band", "300", "45", "3", 300, 45, 3},
    {"ten_degrees", "100", "-30", "10", 100, -30, 10},
    {"hemisphere", "200", "20", "90", 200, 20, 90},
    {"nearly_all_sky", "0", "0", "179", 0, 0, 179},
};

TEST_F(Find, ConesMatchBruteForceScan) {
  for (const ConeCase& c : kCones) {
    SCOPED_TRACE(c.name);
    std::vector<double> printed;
    const std::vector<const Star*> found =
        Run({"--ra", c.ra, "--dec", c.dec, "--radius", c.radius}, true, &printed);
    const double radius = c.radius_deg * 3600;
    const auto distance = [&](const Star* s) {
      return Separation(c.ra_deg, c.dec_deg, s->ra / kMasPerDegree, s->dec / kMasPerDegree);
    };
    std::size_t within = 0;
    for (const Star& s : *stars_) within += distance(&s) <= radius - kTolerance;
    EXPECT_GE(found.size(), within);
    EXPECT_GT(found.size(), 0u);
    for (std::size_t i = 0; i < found.size(); ++i) {
      const double d = distance(found[i]);
      EXPECT_LE(d, radius + kTolerance) << found[i]->id;
      EXPECT_NEAR(printed[i], d, 1e-5) << found[i]->id;
      if (i == 0) continue;
      const Star* before = found[i - 1];
      EXPECT_LE(distance(before), d + kTolerance) << before->id << " before " << found[i]->id;
      if (before->ra == found[i]->ra && before->dec == found[i]->dec) {
        EXPECT_LT(before->id, found[i]->id);
      }
    }
    std::vector<const Star*> first3 = found;
    first3.resize(std::min<std::size_t>(3, found.size()));
    EXPECT_EQ(Run({"--ra", c.ra, "--dec", c.dec, "--radius", c.radius, "--limit", "3"}, true),
              first3);
  }
}

struct BoxCase {
  const char* name;
  const char* text[4];                                // RA1 RA2 DEC1 DEC2 as typed
  std::int64_t ra_first, ra_last, dec_low, dec_high;  // the stars' mas that lie on the edges
};

const BoxCase kBoxes[] = {
    {"across_0h", {"350", "10", "-5", "5"}, 1260000000, 36000000, -18000000, 18000000},
    {"meridian_0h_only", {"0", "0", "-90", "90"}, 0, 0, -324000000, 324000000},
    {"not_0h", {"0.0000001", "359.9999999", "-1", "1"}, 1, 1295999999, -3600000, 3600000},
    {"hour_border", {"14.99", "15.01", "4", "6"}, 53964000, 54036000, 14400000, 21600000},
    // Just short of 15h and of +10 degrees: stars the compiler files in the next hour or band.
    {"west_of_hour_border",
     {"14.9", "14.99999975", "4", "6"},
     53640000,
     53999999,
     14400000,
     21600000},
    {"south_of_band_border",
     {"37", "38", "9.9", "9.9999999"},
     133200000,
     136800000,
     35640000,
     35999999},
    {"band_border", {"37", "38", "9.99", "10.01"}, 133200000, 136800000, 35964000, 36036000},
    {"fractional_edges",
     {"123.4567891", "131.7890123", "-20:20:20.5", "-11.987654321"},
     444444441,
     474440444,
     -73220500,
     -43155556},
    {"north_cap", {"0", "360", "80", "90"}, 0, kFullCircle, 288000000, 324000000},
    {"south_cap_across_0h",
     {"20:00:00", "04:00:00", "-90", "-85"},
     1080000000,
     216000000,
     -324000000,
     -306000000},
    {"whole_sky", {"0", "360", "-90", "90"}, 0, kFullCircle, -324000000, 324000000},
    {"empty", {"100", "100.001", "60", "60.001"}, 360000000, 360003600, 216000000, 216003600},
};

TEST_F(Find, BoxesMatchBruteForceScan) {
  for (const BoxCase& b : kBoxes) {
    SCOPED_TRACE(b.name);
    const bool wraps = b.ra_first > b.ra_last;
    std::vector<std::pair<std::int64_t, const Star*>> expected;
    for (const Star& s : *stars_) {
      const bool in_ra = wraps ? (s.ra >= b.ra_first || s.ra <= b.ra_last)
                               : (s.ra >= b.ra_first && s.ra <= b.ra_last);
      if (in_ra && s.dec >= b.dec_low && s.dec <= b.dec_high) {
        expected.emplace_back(((s.ra - b.ra_first) % kFullCircle + kFullCircle) % kFullCircle, &s);
      }
    }
    std::sort(expected.begin(), expected.end(), [](const auto& x, const auto& y) {
      return x.first != y.first ? x.first < y.first : x.second->id < y.second->id;
    });
    std::vector<const Star*> stars;
    stars.reserve(expected.size());
    for (const auto& e : expected) stars.push_back(e.second);
    const std::vector<std::string> box = {"--box", b.text[0], b.text[1], b.text[2], b.text[3]};
    EXPECT_EQ(Run(box, false), stars);
    std::vector<std::string> limited = box;
    limited.insert(limited.end(), {"--limit", "2"});
    stars.resize(std::min<std::size_t>(2, stars.size()));
    EXPECT_EQ(Run(limited, false), stars);
  }
}

TEST_F(Find, BadValuesAreUsageErrors) {
  const std::vector<std::vector<std::string>> cases = {
      {"--ra", "360.5", "--dec", "0", "--radius", "1"},
      {"--ra", "24:00:01", "--dec", "0", "--radius", "1"},
      {"--ra", "12:60:00", "--dec", "0", "--radius", "1"},
      {"--ra", "-1", "--dec", "0", "--radius", "1"},
      {"--ra", "1e2", "--dec", "0", "--radius", "1"},
      {"--ra", "12h", "--dec", "0", "--radius", "1"},
      {"--ra", "1", "--dec", "90.0000000000001", "--radius", "1"},
      {"--ra", "1", "--dec", "+10:00", "--radius", "1"},
      {"--ra", "1", "--dec", "1.", "--radius", "1"},
      {"--ra", "1", "--dec", "0", "--radius", "0"},
      {"--ra", "1", "--dec", "0", "--radius", "180.1"},
      {"--ra", "1", "--dec", "0"},
      {"--ra", "1", "--dec", "0", "--radius", "1", "--box", "1", "2", "3", "4"},
      {"--box", "1", "2", "3"},
      {"--box", "1", "2", "30", "20"},
      {"--box", "1", "2", "x", "20"},
  };
  for (const auto& args : cases) {
    std::vector<std::string> full = {"find", "--db", (dir_->path() / "db").string()};
    full.insert(full.end(), args.begin(), args.end());
    const RunResult run = RunDb(dir_->path(), full);
    EXPECT_EQ(run.status, 2) << args[1] << " " << args.back();
    EXPECT_EQ(run.out, "");
    EXPECT_NE(run.err, "");
  }
}

// Every field decoded into its unit, from records written byte by byte.
TEST(FindFields, EveryFieldInItsUnit) {
  ScopedTempDir tmp;
  MakeCatalog(tmp.path() / "cat", "--stars 0 --bss 0");
  // Items as (offset, width, value), little-endian.
  const auto record = [](const std::vector<std::array<std::int64_t, 3>>& items) {
    std::string bytes(44, '\0');
    for (const auto& [offset, width, value] : items) {
      for (std::int64_t i = 0; i < width; ++i) {
        bytes[static_cast<std::size_t>(offset + i)] =
            static_cast<char>(static_cast<std::uint64_t>(value) >> (8 * i));
      }
    }
    return bytes;
  };
  // A main star just south of the equator.
  WriteFileBytes(
      tmp.path() / "cat" / "z180",
      record({{0, 4, 1},      {4, 4, -1},      {8, 2, -5},         {10, 1, -127}, {11, 1, 127},
              {12, 1, 3},     {13, 1, 0},      {14, 1, -2},        {15, 1, 0x41}, {16, 2, -1500},
              {18, 2, 25000}, {20, 4, -12345}, {24, 4, 7},         {28, 1, -100}, {29, 1, 5},
              {30, 1, -27},   {31, 1, -126},   {32, 4, 123456789}, {36, 2, -1},   {38, 2, 15000},
              {40, 2, 32767}, {42, 1, -127},   {43, 1, 1}}));
  // A supplement star: epochs in hundredths of a year.
  WriteFileBytes(
      tmp.path() / "cat" / "s19",
      record({{0, 4, 1295999999}, {4, 4, 17999999}, {15, 1, 0x80}, {16, 2, 1650}, {18, 2, -5}}));
  fs::create_directory(tmp.path() / "db");
  ASSERT_EQ(RunProgram(UCAC2_EXE, {"../cat"}, tmp.path() / "db").status, 0);
  const RunResult run = RunDb(tmp.path() / "db", {"find", "--box", "0", "360", "-90", "90"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out,
            "id,ra,dec,u2r_mag,e_ra_m,e_de_m,nobs,e_pos,ncat,cflg,ep_ra_m,ep_de_m,pm_ra,pm_de,"
            "e_pm_ra,e_pm_de,q_pm_ra,q_pm_de,2m_id,2m_j,2m_h,2m_ks,2m_ph,2m_cc\n"
            "1,0.000000278,-0.000000278,-0.05,0,254,3,127,-2,65,1973.500,2000.000,-1234.5,0.7,"
            "2.7,13.2,5.00,0.05,123456789,-0.001,15.000,32.767,0,128\n"
            "50000001,359.999999722,4.999999722,0.00,127,127,0,127,0,128,1991.500,1974.950,0.0,"
            "0.0,12.7,12.7,6.35,6.35,0,0.000,0.000,0.000,127,127\n");
  // A region holding nothing prints the header alone; a damaged or missing zone file that
  // the region needs is named, and one it does not need is not read.
  const std::vector<std::string> cone_0h = {"find", "--ra", "7.5", "--dec", "0", "--radius", "1"};
  fs::resize_file(tmp.path() / "db" / "UCAC2_00.dat", 151);
  RunResult damaged = RunDb(tmp.path() / "db", cone_0h);
  EXPECT_EQ(damaged.status, 1);
  EXPECT_EQ(damaged.out, "");
  EXPECT_EQ(damaged.err,
            "./UCAC2_00.dat: damaged zone file: shorter than its header and band index\n");
  fs::remove(tmp.path() / "db" / "UCAC2_00.dat");
  RunResult missing = RunDb(tmp.path() / "db", cone_0h);
  EXPECT_EQ(missing.status, 1);
  EXPECT_EQ(missing.err, "./UCAC2_00.dat: missing or unreadable zone file\n");
  RunResult elsewhere =
      RunDb(tmp.path() / "db", {"find", "--ra", "100", "--dec", "0", "--radius", "1"});
  EXPECT_EQ(elsewhere.status, 0);
  EXPECT_EQ(elsewhere.out, SplitLines(run.out)[0] + ",dist_arcsec\n");
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
      std::vector<std::pair<std::uint64_t, std::int32_t>> emitted;
      ASSERT_TRUE(ucac2::EmitInOrder(
          order,
          [](void* out, const ucac2::KeyedStar& star) {
            EXPECT_EQ(star.entry[47], static_cast<std::uint8_t>(ucac2::LoadLE32(star.entry)));
            static_cast<decltype(emitted)*>(out)->emplace_back(star.key,
                                                               ucac2::LoadLE32(star.entry));
          },
          &emitted));
      decltype(sorted) wanted = sorted;
      if (limit >= 0) wanted.resize(std::min(static_cast<std::size_t>(limit), sorted.size()));
      EXPECT_EQ(emitted, wanted) << capacity << " " << limit;
    }
  }
}

struct Picture {
  int width = 0, height = 0;
  std::vector<std::uint8_t> pixels;  // RGB, row by row from the top
  const std::uint8_t* At(int x, int y) const {
    return &pixels[3 * (static_cast<std::size_t>(y) * static_cast<std::size_t>(width) +
                        static_cast<std::size_t>(x))];
  }
};

Picture Map(const fs::path& dir, const std::vector<std::string>& args) {
  std::vector<std::string> full = {"map", "sky.png"};
  full.insert(full.end(), args.begin(), args.end());
  const RunResult run = RunDb(dir, full);
  EXPECT_EQ(run.status, 0) << run.err;
  const std::string png = ReadFileBytes(dir / "sky.png");
  Picture picture;
  int channels = 0;
  stbi_uc* decoded = stbi_load_from_memory(reinterpret_cast<const stbi_uc*>(png.data()),
                                           static_cast<int>(png.size()), &picture.width,
                                           &picture.height, &channels, 3);
  EXPECT_NE(decoded, nullptr);
  if (decoded == nullptr) return picture;
  picture.pixels.assign(decoded, decoded + std::ptrdiff_t{3} * picture.width * picture.height);
  stbi_image_free(decoded);
  return picture;
}

// The pixels where two pictures of one size differ.
std::vector<std::pair<int, int>> Differences(const Picture& a, const Picture& b) {
  std::vector<std::pair<int, int>> at;
  for (int y = 0; y < a.height; ++y) {
    for (int x = 0; x < a.width; ++x) {
      if (!std::equal(a.At(x, y), a.At(x, y) + 3, b.At(x, y))) at.emplace_back(x, y);
    }
  }
  return at;
}

TEST(SkyMap, StarsShowWhereTheyStandAndMissingFilesAsEmptyStrips) {
  ScopedTempDir tmp;
  fs::create_directory(tmp.path() / "none");
  const Picture empty = Map(tmp.path(), {"--catalog", "none", "--width", "100"});
  EXPECT_EQ(empty.width, 100);
  EXPECT_EQ(empty.height, 50);
  // One star at RA 30.5, Dec +45.25 degrees: RA grows to the left, north is up.
  MakeCatalog(tmp.path() / "one",
              "--stars 0 --bss 0 --count s28:1 --set s28:0:109800000:162900000");
  const Picture one = Map(tmp.path(), {"--catalog", "one", "--width", "100"});
  EXPECT_EQ(Differences(one, empty), (std::vector<std::pair<int, int>>{{99 - 8, 12}}));
  // The database draws the same picture as its catalog.
  fs::create_directory(tmp.path() / "db");
  ASSERT_EQ(RunProgram(UCAC2_EXE, {"../one"}, tmp.path() / "db").status, 0);
  EXPECT_TRUE(Differences(Map(tmp.path(), {"--db", "db", "--width", "100"}), one).empty());

  // z150 holds -15.5 .. -15 degrees: row 210 of 360.
  MakeCatalog(tmp.path() / "full", "--stars 30000 --bss 0");
  MakeCatalog(tmp.path() / "gap", "--stars 30000 --bss 0 --missing z150");
  const Picture blank = Map(tmp.path(), {"--catalog", "none", "--width", "720"});
  const Picture full = Map(tmp.path(), {"--catalog", "full", "--width", "720"});
  const Picture gap = Map(tmp.path(), {"--catalog", "gap", "--width", "720"});
  ASSERT_EQ(gap.height, 360);
  const auto row_empty = [&blank](const Picture& p, int y) {
    return std::equal(p.At(0, y), p.At(0, y) + std::ptrdiff_t{3} * p.width, blank.At(0, y));
  };
  EXPECT_TRUE(row_empty(gap, 210));
  EXPECT_FALSE(row_empty(full, 210));
  EXPECT_FALSE(row_empty(gap, 209));
  EXPECT_FALSE(row_empty(gap, 211));
}

}  // namespace
}  // namespace ucac2_test
