// The zone file's header and band index, and the report info.txt.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "compile/formats.h"
#include "compile/star_record.h"
#include "test_util.h"

namespace {

using Words = std::vector<std::int32_t>;

TEST(Formats, ZoneHeaderAndBandIndex) {
  ucac2_test::ScopedTempDir temp;
  // {band, count} pairs of an hour, and the 18 offsets expected.
  const std::vector<std::pair<Words, Words>> cases = {
      {{}, Words(18, 152)},
      {{4, 3, 9, 2},
       {152, 152, 152, 152, 152, 296, 296, 296, 296, 296, 392, 392, 392, 392, 392, 392, 392, 392}},
      {{0, 1, 17, 2},
       {152, 200, 200, 200, 200, 200, 200, 200, 200, 200, 200, 200, 200, 200, 200, 200, 200, 200}}};
  for (const auto& [bands, expected_offsets] : cases) {
    std::int32_t counts[18] = {}, offsets[18] = {}, hour_count = 0;
    for (std::size_t i = 0; i < bands.size(); i += 2) hour_count += counts[bands[i]] = bands[i + 1];
    {
      ucac2::File zone = ucac2::CreateOutputFile("UCAC2_07.dat");
      ucac2::WriteZoneHeader(zone, 0x01020304, hour_count);
      ucac2::WriteBandIndex(zone, counts, offsets);
    }
    const std::string bytes = ucac2_test::ReadFileBytes("UCAC2_07.dat");
    ASSERT_EQ(bytes.size(), 152u);
    EXPECT_EQ(bytes.substr(0, 4), "\x04\x03\x02\x01");
    Words words, expected = {0x01020304, hour_count};
    for (std::size_t i = 0; i < 152; i += 4) {
      words.push_back(ucac2::LoadLE32(reinterpret_cast<const std::uint8_t*>(bytes.data() + i)));
    }
    for (int b = 0; b < 18; ++b) expected.insert(expected.end(), {expected_offsets[b], counts[b]});
    EXPECT_EQ(Words(offsets, offsets + 18), expected_offsets);
    EXPECT_EQ(words, expected);
  }
}

TEST(Formats, ReportHas484LinesEndingInCrLf) {
  ucac2_test::ScopedTempDir temp;
  ucac2_test::WriteFileBytes("info.txt", std::string(100000, 'o'));  // replaced, not kept
  ucac2::CompileJob job;
  static ucac2::BandTable offsets, counts;
  for (int h = 0; h < 24; ++h) {
    job.hour_counts[h] = 1000 * h + 1;
    for (int b = 0; b < 18; ++b) offsets[h][b] = 152 + 48 * (counts[h][b] = 100 * h + b);
  }
  ucac2::WriteReport(job, 2147483647, offsets, counts);
  const std::string text = ucac2_test::ReadFileBytes("info.txt");
  EXPECT_EQ(text.substr(text.size() - 2), "\r\n");
  std::vector<std::string> lines = ucac2_test::SplitLines(text);
  ASSERT_EQ(lines.size(), 484u);
  for (std::string& line : lines) {
    ASSERT_EQ(line.back(), '\r');
    line.pop_back();
    EXPECT_EQ(line.find('\r'), std::string::npos);
  }
  const std::vector<std::string> head = {"2147483647 objects in the UCAC2 catalog", "",
                                         "1 objects RA zone 00", "1001 objects RA zone 01"};
  EXPECT_EQ(std::vector<std::string>(lines.begin(), lines.begin() + 4), head);
  EXPECT_EQ(lines[25], "23001 objects RA zone 23");
  EXPECT_EQ(lines[26], "Check Total: 276024");
  EXPECT_EQ(lines[27], "");
  // Hour 7 begins at line 28 + 7 * 19 = 161; its band 3 stands fourth under it.
  EXPECT_EQ(lines[161], "RA zone 7");
  EXPECT_EQ(lines[165], "    DE Zone 03 --> address is 33896 (703 objects)");
  EXPECT_EQ(lines[179], "    DE Zone 17 --> address is 34568 (717 objects)");
  EXPECT_EQ(lines[180], "RA zone 8");
  EXPECT_EQ(lines[28] + lines[29], "RA zone 0    DE Zone 00 --> address is 152 (0 objects)");
  EXPECT_EQ(lines[483], "    DE Zone 17 --> address is 111368 (2317 objects)");
}

TEST(FormatsDeathTest, ReportThatCannotBeCreatedIsFatal) {
  ucac2_test::ScopedTempDir temp;
  std::filesystem::create_directory("info.txt");
  static ucac2::BandTable offsets, counts;
  EXPECT_EXIT(ucac2::WriteReport(ucac2::CompileJob{}, 0, offsets, counts),
              testing::ExitedWithCode(1),
              "^FTL \\*\\*\\* Unable to create output file 'info.txt'\n$");
}

}  // namespace
