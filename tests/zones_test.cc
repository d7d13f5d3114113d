// The hour zone and declination band arithmetic, the record layouts and little-endian access.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <limits>
#include <vector>

#include "compile/star_record.h"
#include "compile/zones.h"

namespace {

using ucac2::DeclinationBand;
using ucac2::HourZone;
using Bytes = std::vector<std::uint8_t>;
constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();
constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();

TEST(Zones, BoundaryTables) {
  // Each first value of a zone or band in the table and the value one below it, then the
  // corrected values short of 360 degrees (computed hour 24) and near and at the poles.
  const std::vector<std::pair<std::int32_t, int>> hours = {
      {0, 0},           {53999998, 0},    {53999999, 1},    {107999997, 1},
      {107999998, 2},   {647999982, 11},  {647999983, 12},  {1241999966, 22},
      {1241999967, 23}, {1295999965, 23}, {1295999966, 23}, {1295999999, 23}};
  for (const auto& [ra, hour] : hours) EXPECT_EQ(HourZone(ra), hour) << ra;
  const std::vector<std::pair<std::int32_t, int>> bands = {
      {0, 8},           {-1, 9},         {35999998, 8},    {35999999, 7},    {287999991, 1},
      {287999992, 0},   {323999990, 0},  {323999991, 0},   {324000000, 0},   {-35999998, 9},
      {-35999999, 10},  {-36000000, 10}, {-287999991, 16}, {-287999992, 17}, {-323999990, 17},
      {-323999991, 17}, {-324000000, 17}};
  for (const auto& [dec, band] : bands) EXPECT_EQ(DeclinationBand(dec), band) << dec;
  // Every hour boundary lies 1 to 34 mas, every band boundary 1 to 9 mas, short of its exact
  // multiple of 15 or 10 degrees.
  for (int h = 1; h < 24; ++h) {
    EXPECT_EQ(HourZone(54000000 * h) * 100 + HourZone(54000000 * h - 35), h * 100 + h - 1);
  }
  for (int k = 1; k < 9; ++k) {
    EXPECT_EQ(DeclinationBand(36000000 * k) * 100 + DeclinationBand(36000000 * k - 10),
              (8 - k) * 100 + 9 - k);
    EXPECT_EQ(DeclinationBand(-36000000 * k) * 100 + DeclinationBand(-36000000 * k + 10),
              (9 + k) * 100 + 8 + k);
  }
}

TEST(ZonesDeathTest, OutsideTheValidRangesIsFatal) {
  for (std::int32_t ra : {-1, -53999999, kMin, 1296000000, 1296000034, kMax}) {
    EXPECT_EXIT(HourZone(ra), testing::ExitedWithCode(1),
                "^FTL \\*\\*\\* Internal error #2 - RA zone calculation\n$")
        << ra;
  }
  for (std::int32_t dec : {324000001, -324000001, 330000000, kMin, kMax}) {
    EXPECT_EXIT(DeclinationBand(dec), testing::ExitedWithCode(1),
                "^FTL \\*\\*\\* Internal error #3 - DE zone calculation\n$")
        << dec;
  }
}

TEST(StarRecord, FieldsAndEntryLittleEndian) {
  ucac2::StarRecord record;
  for (int i = 0; i < 44; ++i) record.bytes[i] = static_cast<std::uint8_t>(i * 5 + 1);
  const Bytes fields = {0x78, 0x56, 0x34, 0x12, 0x00, 0x27, 0xb0, 0xec};
  std::copy(fields.begin(), fields.end(), record.bytes);
  EXPECT_EQ(ucac2::RightAscension(record), 0x12345678);
  EXPECT_EQ(ucac2::Declination(record), -324000000);
  record.bytes[15] = 0x7f;
  EXPECT_FALSE(ucac2::IsSupplementStar(record));
  record.bytes[15] = 0x80;
  EXPECT_TRUE(ucac2::IsSupplementStar(record));
  // The entry is the unchanged record behind 4 identifier bytes.
  ucac2::CatalogEntry entry;
  ucac2::BuildEntry(-2, record, &entry);
  EXPECT_EQ(Bytes(entry.bytes, entry.bytes + 4), (Bytes{0xfe, 0xff, 0xff, 0xff}));
  EXPECT_EQ(Bytes(entry.bytes + 4, entry.bytes + 48), Bytes(record.bytes, record.bytes + 44));
  // Negative and extreme words.
  const std::vector<std::pair<std::int32_t, Bytes>> words = {{-1, {0xff, 0xff, 0xff, 0xff}},
                                                             {kMin, {0x00, 0x00, 0x00, 0x80}},
                                                             {-324000000, {0x00, 0x27, 0xb0, 0xec}},
                                                             {-256, {0x00, 0xff, 0xff, 0xff}},
                                                             {kMax, {0xff, 0xff, 0xff, 0x7f}}};
  for (const auto& [value, bytes] : words) {
    std::uint8_t stored[4] = {};
    ucac2::StoreLE32(stored, value);
    EXPECT_EQ(Bytes(stored, stored + 4), bytes) << value;
    EXPECT_EQ(ucac2::LoadLE32(bytes.data()), value);
  }
}

}  // namespace
