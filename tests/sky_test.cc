// The building blocks of queries on the sky: angles in every notation read exactly, distances
// over the whole sphere held against a plain computation in long double, epochs and how far a
// star may move, and the table writers.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <random>
#include <string>

#include "base/star_record.h"
#include "db/angles.h"
#include "db/epoch.h"
#include "db/separation.h"
#include "db/star_format.h"
#include "db/text_escape.h"
#include "test_util.h"

namespace ucac2_test {
namespace {

using ucac2::Angle;
using ucac2::AngleKind;
constexpr AngleKind kRa = AngleKind::kRightAscension;
constexpr AngleKind kDec = AngleKind::kDeclination;
constexpr AngleKind kRadius = AngleKind::kRadius;

bool Parse(const std::string& text, AngleKind kind, Angle* angle) {
  return ucac2::ParseAngle(text.c_str(), kind, angle);
}

bool operator==(const Angle& a, const Angle& b) {
  return a.nano_mas == b.nano_mas && a.tail == b.tail;
}

TEST(Angles, EveryNotationIsItsDecimalDegrees) {
  // Values whose decimal degrees are exact: 0.6 s of time is 9 arcseconds, 0.0025 degree.
  const struct {
    AngleKind kind;
    const char* decimal;
    std::vector<std::string> notations;
  } kCases[] = {
      {kRa,
       "187.5025",
       {"12:30:00.6", "12 30 00.6", "12  30 0.6", "12h30m00.6s", "12h 30m 00.6s", "12h30m0.60s",
        "187d30m09s", "187d 30m 9.0s", "187\u00b030\u203209\u2033", "187\u00b030'09\"",
        "187\u00b030'09''", "187d30'9\"", "12h30.01m", "187d30.15m", "187.5025d",
        "187.5025\u00b0"}},
      {kRa, "187.5", {"12h30m", "12.5h", "12h 30m", "12:30:00", "187d30m", "187.5d"}},
      {kRa, "0", {"00:00:00", "0h", "0h0m0s", "0 0 0", "0d", "0\u00b0"}},
      {kRa, "360", {"24:00:00", "24h", "360d"}},
      {kDec,
       "-30.26",
       {"-30:15:36", "-30 15 36", "-30d15m36s", "-30d 15m 36s", "-30\u00b015\u203236\u2033",
        "-30\u00b015'36\"", "-30\u00b015'36''", "-30d15.6m", "-30\u00b015.6'", "-30.26d",
        "-30.26\u00b0"}},
      {kDec, "-30", {"-30d00m00s", "-30 00 00", "-30:00:00", "-30d", "-30\u00b0", "-30d0m"}},
      {kDec, "-0.5", {"-00 30 00", "-0d30m", "-0\u00b030'", "-00:30:00.000"}},
      {kDec, "90", {"+90d", "90\u00b000'00\"", "+90:00:00", "90 00 00"}},
      {kDec, "0.0000000000001", {"+0d0m0.00000000000036s", "0 0 0.0000000000004"}},  // tails
      {kRadius, "0.01", {"0d0m36s", "0\u00b00'36\"", "0d0.6m", "0.01d"}},
  };
  for (const auto& c : kCases) {
    Angle decimal;
    ASSERT_TRUE(Parse(c.decimal, c.kind, &decimal)) << c.decimal;
    for (const std::string& text : c.notations) {
      Angle angle;
      EXPECT_TRUE(Parse(text, c.kind, &angle) && angle == decimal)
          << text << " gives " << angle.nano_mas << "," << angle.tail << " not " << c.decimal;
    }
  }
  // Printed back (the angle fuzzer reads every printed angle back), the tail included.
  Angle angle;
  ASSERT_TRUE(Parse("-00:00:00.0000000000000001", kDec, &angle));
  EXPECT_EQ(ucac2::FormatAngle(angle), "-0d00m00.0000000000001s");
  ASSERT_TRUE(Parse("12h30m00.6s", kRa, &angle));
  EXPECT_EQ(ucac2::FormatAngle(angle), "187d30m09.000000000000s");
}

TEST(Angles, NearMissesAreRefused) {
  const struct {
    AngleKind kind;
    std::vector<std::string> texts;
  } kCases[] = {
      {kRa,  // lettered
       {"12h61m", "12h30m00.5", "12h30", "12h30m60s", "12.5h30m", "12h30.5m10s", "12h30'",
        "12h30m5\"", "24h00m01s", "-12h", "+12h", "12H30M", "123h", "12 h", "12h ", " 12h"}},
      {kRa,  // lettered, in degrees, and decimal
       {"12h30m00.5s5", "12hh", "h", "d", "1e2", "12d30''", "12d30'5", "12\xb0", "12d\xe2\x80", "",
        "+", "30'", "5\"", "361d", "360.0000001", "12.", ".5"}},
      {kRa,  // colons and spaces
       {"12:30:", "12:30", "12 30", "24:00:00.001", "12:30 00", "12:30:00.5s", "12 30 00 ",
        " 12 30 00", "12\t30\t00", "12:60:00", "12:00:60", "12:00:00.", "12:3a:00", "12 30 00.5.5",
        "100:00:00"}},
      {kDec,
       {"+91d", "-90d00m00.0000000000001s", "-90:00:01", "+90.0000000001", "+12h", "-30h", "--30",
        "+-30", "- 30d", "-30d60m", "-30d00m60s", "+10:00", "-30 00", "-30d15'36",
        "-30\u00b0 15'36", "1.", "-"}},
      {kRadius,
       {"0", "0d", "0d0m0s", "180.0000000001", "180d0m0.0000000000001s", "1h", "0:30:00", "0 30 00",
        "-1", "+1", "9999"}},  // a whole part past the bound, never multiplied out
  };
  for (const auto& c : kCases) {
    for (const std::string& text : c.texts) {
      Angle angle;
      EXPECT_FALSE(Parse(text, c.kind, &angle)) << "'" << text << "' read as " << angle.nano_mas;
    }
  }
}

// The angle between two positions in mas, from their unit vectors in long double.
long double BruteSeparation(long double ra1, long double dec1, long double ra2, long double dec2) {
  const long double r = std::acos(-1.0L) / 648000000.0L;
  const long double a[3] = {std::cos(dec1 * r) * std::cos(ra1 * r),
                            std::cos(dec1 * r) * std::sin(ra1 * r), std::sin(dec1 * r)};
  const long double b[3] = {std::cos(dec2 * r) * std::cos(ra2 * r),
                            std::cos(dec2 * r) * std::sin(ra2 * r), std::sin(dec2 * r)};
  const long double cross[3] = {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2],
                                a[0] * b[1] - a[1] * b[0]};
  return std::atan2(std::sqrt(cross[0] * cross[0] + cross[1] * cross[1] + cross[2] * cross[2]),
                    a[0] * b[0] + a[1] * b[1] + a[2] * b[2]);
}

TEST(Separation, ExactOverTheWholeSphere) {
  constexpr double kDeg = 3600000.0, kPole = 90 * kDeg;
  // Pairs in mas: beside the antipode (the haversine's 648000.000000 for both), at and
  // around a pole, at 0h, tiny, 90 degrees; then random pairs, some near antipodal.
  std::vector<std::array<double, 4>> pairs = {
      {195 * kDeg, 0, 15 * kDeg, 1},
      {195 * kDeg, 0, 15 * kDeg + 1, 1},
      {0, 0, 180 * kDeg, 0},
      {0, kPole, 123456789, kPole},
      {0, kPole, 123456789, kPole - 1},
      {0, kPole, 0, -kPole},
      {0, kPole - 1, 180 * kDeg, kPole - 1},
      {10 * kDeg, -kPole + 5, 190 * kDeg, kPole - 7},
      {1295999999, 0, 0, 0},
      {1295999999, 1000, 1, -1000},
      {100, 200, 100.001, 200},
      {0, 0, 90 * kDeg, 0},
      {0, 0, 0, kPole},
      {45 * kDeg, 45 * kDeg, 225 * kDeg, 45 * kDeg},
  };
  std::mt19937_64 random(21);
  std::uniform_real_distribution<double> ra(0, 360 * kDeg), dec(-kPole, kPole), near(-3, 3);
  for (int i = 0; i < 2000; ++i) {
    const double ra1 = std::round(ra(random)), dec1 = std::round(dec(random));
    if (i % 2 == 0) {
      pairs.push_back({ra1, dec1, std::round(ra(random)), std::round(dec(random))});
    } else {
      pairs.push_back({std::fmod(ra1 + 180 * kDeg, 360 * kDeg) + near(random), -dec1 + near(random),
                       ra1, dec1});
    }
  }
  for (const auto& [ra1, dec1, ra2, dec2] : pairs) {
    const long double brute = BruteSeparation(ra1, dec1, ra2, dec2);
    EXPECT_NEAR(ucac2::Separation(ra1, dec1, ra2, dec2), static_cast<double>(brute), 1e-15)
        << ra1 << " " << dec1 << " " << ra2 << " " << dec2;
  }
  // As find prints it, in microarcseconds: 1 mas and 1.41 mas short of 180 degrees.
  const auto micro = [](double radians) {
    return std::llround(radians * ucac2::kArcsecondsPerRadian * 1e6);
  };
  EXPECT_EQ(micro(ucac2::Separation(195 * kDeg, 0, 15 * kDeg, 1)), 647999999000);
  EXPECT_EQ(micro(ucac2::Separation(195 * kDeg, 0, 15 * kDeg + 1, 1)), 647999998586);
  EXPECT_EQ(ucac2::Separation(0, 0, 180 * kDeg, 0), ucac2::kPi);
  EXPECT_EQ(ucac2::Separation(0, kPole, 123456789, kPole), 0.0);
}

TEST(Epoch, YearsAndReach) {
  const struct {
    const char* text;
    double years;  // NAN: refused
  } kCases[] = {{"2026.9", 26.9},
                {"J2026.9", 26.9},
                {"2000", 0},
                {"1950.5", -49.5},
                {"1000", -1000},
                {"3000", 1000},
                {"2000.000000001", 1e-9},
                {"999.999", NAN},
                {"3000.01", NAN},
                {"2026.", NAN},
                {".5", NAN},
                {"", NAN},
                {"J", NAN},
                {"j2026", NAN},
                {"2026.9.1", NAN},
                {"2e3", NAN},
                {"-2000", NAN},
                {" 2026", NAN},
                {"2026 ", NAN}};
  for (const auto& c : kCases) {
    double years = NAN;
    EXPECT_EQ(ucac2::ParseEpoch(c.text, &years), !std::isnan(c.years)) << c.text;
    if (!std::isnan(c.years)) {
      EXPECT_EQ(years, c.years) << c.text;
    }
  }
  // 15 arcseconds a year; in right ascension over cos Dec, the full circle near a pole.
  EXPECT_EQ(ucac2::DeclinationReachMas(-26.9), 15000 * 26.9);
  EXPECT_EQ(ucac2::RightAscensionReachMas(10, 0), 150000);
  EXPECT_NEAR(ucac2::RightAscensionReachMas(10, 60 * 3600000.0), 300000, 1e-6);
  EXPECT_EQ(ucac2::RightAscensionReachMas(10, 324000000 - 150000), 1296000000);
  EXPECT_LT(ucac2::RightAscensionReachMas(10, 324000000 - 150001), 1296000000);
}

TEST(StarFormat, RowsAndHeadsInEveryFormat) {
  using ucac2::StarFormat;
  // A star at (1, -1) mas whose other bytes are zero: the +127 items print 127, epochs 1975.
  std::uint8_t entry[ucac2::kEntrySize] = {7};
  ucac2::StoreLE32(entry + 4, 1);
  ucac2::StoreLE32(entry + 8, -1);
  const std::string fields =
      "0.00,127,127,0,127,0,0,1975.000,1975.000,0.0,0.0,12.7,12.7,6.35,6.35,0,0.000,0.000,0.000,"
      "127,127";
  ucac2::TableLayout layout;
  layout.leading = {"n,1", "a,\"b\""};
  layout.at_epoch = true;
  layout.distance_name = "sep_arcsec";
  ucac2::StarRow row{{"x\ny", "<&>\x01\xff\xC2"}, entry, {1800000, -324000000}, 1.5};
  const ucac2::StarRow no_star{{"t", "u"}, nullptr, {}, 0};
  const auto write = [&](StarFormat format) {
    layout.format = format;
    std::string out;
    ucac2::AppendTableHead(layout, out);
    ucac2::AppendStarRow(layout, row, out);
    ucac2::AppendStarRow(layout, no_star, out);
    ucac2::AppendTableTail(layout, out);
    return out;
  };
  const std::string head =
      "id,ra,dec,u2r_mag,e_ra_m,e_de_m,nobs,e_pos,ncat,cflg,ep_ra_m,ep_de_m,pm_ra,pm_de,e_pm_ra,"
      "e_pm_de,q_pm_ra,q_pm_de,2m_id,2m_j,2m_h,2m_ks,2m_ph,2m_cc,sep_arcsec,ra_j2000,dec_j2000";
  const std::string star =
      "7,0.500000000,-90.000000000," + fields + ",1.500000,0.000000278,-0.000000278";
  EXPECT_EQ(write(StarFormat::kCsv), "\"n,1\",\"a,\"\"b\"\"\"," + head +
                                         "\n\"x\ny\",<&>\x01\xff\xC2," + star + "\nt,u" +
                                         std::string(27, ',') + "\n");
  std::string tsv = "n,1\ta,\"b\"\t" + head + "\nx y\t<&>\x01\xff\xC2\t" + star + "\nt\tu" +
                    std::string(27, '\t') + "\n";
  std::replace(tsv.begin() + 10, tsv.end(), ',', '\t');
  EXPECT_EQ(write(StarFormat::kTsv), tsv);
  const std::string votable = write(StarFormat::kVotable);
  EXPECT_NE(votable.find("<FIELD name=\"a,&quot;b&quot;\" datatype=\"unicodeChar\""),
            std::string::npos);
  EXPECT_NE(
      votable.find("<TR><TD>x\ny</TD><TD>&lt;&amp;&gt;\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD</TD>"
                   "<TD>7</TD><TD>0.500000000</TD>"),
      std::string::npos);
  std::string empty_row = "<TR><TD>t</TD><TD>u</TD>";
  for (int i = 0; i < 27; ++i) empty_row += "<TD></TD>";
  EXPECT_NE(votable.find(empty_row + "</TR>\n</TABLEDATA>"), std::string::npos);
  std::size_t fields_written = 0;
  for (std::size_t at = 0; (at = votable.find("<FIELD ", at)) != std::string::npos; ++at) {
    ++fields_written;
  }
  EXPECT_EQ(fields_written, 2 + 24 + 2 + 1);
  EXPECT_EQ(votable.substr(votable.size() - 52),
            "</TABLEDATA></DATA>\n</TABLE>\n</RESOURCE>\n</VOTABLE>\n");
  EXPECT_EQ(write(StarFormat::kDs9),
            "# Region file format: DS9 version 4.1\nglobal color=green\nfk5\n"
            "circle(0.500000000,-90.000000000,3\") # text={7}\n");
  layout.at_epoch = false;
  EXPECT_EQ(write(StarFormat::kDs9).substr(61),
            "circle(0.000000278,-0.000000278,3\") # text={7}\n");
  // Strict UTF-8 for XML: overlong, surrogate, beyond U+10FFFF, cut short, U+FFFF.
  const std::string r = "\xEF\xBF\xBD";
  std::string xml;
  ucac2::AppendXmlText(
      "\xC0\x80|\xED\xA0\x80|\xF0\x9F\x8C\x9F|\xEF\xBF\xBF|\xF4\x90\x80\x80|\xE2\x80", xml);
  EXPECT_EQ(xml,
            r + r + "|" + r + r + r + "|\xF0\x9F\x8C\x9F|" + r + "|" + r + r + r + r + "|" + r + r);
  StarFormat format = StarFormat::kCsv;
  EXPECT_TRUE(ucac2::ParseStarFormat("votable", &format) && format == StarFormat::kVotable);
  EXPECT_TRUE(ucac2::ParseStarFormat("ds9", &format) && format == StarFormat::kDs9);
  EXPECT_FALSE(ucac2::ParseStarFormat("VOTable", &format) || ucac2::ParseStarFormat("", &format));
}

}  // namespace
}  // namespace ucac2_test
