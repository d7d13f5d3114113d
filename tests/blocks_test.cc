// The building blocks, where values are pinned that the compiler and ucac2db verify share
// (the zone arithmetic and the report), and what a whole run cannot
// reach: the record reader's failures, the work files' deleted or replaced by links, and the
// console messages and their ways out.
#include <gtest/gtest.h>
#include <unistd.h>

#include <climits>

#include "base/zones.h"
#include "compile/formats.h"
#include "compile/messages.h"
#include "compile/record_reader.h"
#include "compile/work_files.h"
#include "test_util.h"

namespace ucac2_test {
namespace {

const testing::ExitedWithCode kExitsWithOne(1);

TEST(Zones, BoundaryTables) {
  // Each first value of a zone or band in the table and the value one below it, the corrected
  // values short of 360 degrees (computed hour 24), near and at the poles, then beyond.
  const int kNo = ucac2::kNoZone;
  const std::vector<std::pair<std::int32_t, int>> hours = {
      {0, 0},           {53999998, 0},    {53999999, 1},     {107999997, 1},
      {107999998, 2},   {647999982, 11},  {647999983, 12},   {1241999966, 22},
      {1241999967, 23}, {1295999965, 23}, {1295999966, 23},  {1295999999, 23},
      {-1, kNo},        {INT_MIN, kNo},   {1296000000, kNo}, {INT_MAX, kNo}};
  for (const auto& [ra, hour] : hours) EXPECT_EQ(ucac2::HourZone(ra), hour) << ra;
  const std::vector<std::pair<std::int32_t, int>> bands = {
      {0, 8},           {-1, 9},          {35999998, 8},    {35999999, 7},     {287999991, 1},
      {287999992, 0},   {323999990, 0},   {323999991, 0},   {324000000, 0},    {-35999998, 9},
      {-35999999, 10},  {-36000000, 10},  {-287999991, 16}, {-287999992, 17},  {-323999990, 17},
      {-323999991, 17}, {-324000000, 17}, {324000001, kNo}, {-324000001, kNo}, {INT_MIN, kNo},
      {INT_MAX, kNo}};
  for (const auto& [dec, band] : bands) EXPECT_EQ(ucac2::DeclinationBand(dec), band) << dec;
}

TEST(RecordReaderDeathTest, FilesOf2GiBOrMoreAreFatal) {
  ScopedTempDir temp;
  WriteFileBytes("huge", "");
  // A file of 2^31 bytes (sparse) does not fit the signed 32-bit sizes; one byte less does.
  ASSERT_EQ(::truncate("huge", std::int64_t{1} << 31), 0);
  EXPECT_EXIT(ucac2::LocateDataFile("huge"), kExitsWithOne,
              "^FTL \\*\\*\\* Data file too large \\(2 GiB or more\\) 'huge'\n$");
  ASSERT_EQ(::truncate("huge", (std::int64_t{1} << 31) - 1), 0);
  EXPECT_EQ(ucac2::LocateDataFile("huge"), (std::int64_t{1} << 31) - 1);
}

TEST(Formats, ReportHas484LinesEndingInCrLf) {
  ScopedTempDir temp;
  WriteFileBytes("info.txt", std::string(100000, 'o'));  // replaced, not kept
  ucac2::CompileJob job;
  static ucac2::BandTable offsets, counts;
  for (int h = 0; h < 24; ++h) {
    job.hour_counts[h] = 1000 * h + 1;
    for (int b = 0; b < 18; ++b) offsets[h][b] = 152 + 48 * (counts[h][b] = 100 * h + b);
  }
  ucac2::WriteReport(job, 2147483647, offsets, counts);
  const std::string text = ReadFileBytes("info.txt");
  std::vector<std::string> lines = SplitLines(text);
  ASSERT_EQ(lines.size(), 484u);
  EXPECT_EQ(text.back(), '\n');
  for (std::string& line : lines) {
    EXPECT_EQ(line.find('\r'), line.size() - 1) << line;
    line.pop_back();
  }
  EXPECT_EQ(lines[0], "2147483647 objects in the UCAC2 catalog");
  EXPECT_EQ(lines[26], "Check Total: 276024");
  // Hour 7 begins at line 28 + 7 * 19 = 161; its band 3 stands fourth under it.
  EXPECT_EQ(lines[161], "RA zone 7");
  EXPECT_EQ(lines[165], "    DE Zone 03 --> address is 33896 (703 objects)");
  EXPECT_EQ(lines[483], "    DE Zone 17 --> address is 111368 (2317 objects)");
}

// The work files: deleted while a run holds items for them, or replaced by links.
// The nth 48-byte item, written as the distribution pass does: 44 bytes, then 4.
std::string Item(int n) {
  return (std::to_string(n) + std::string(48, static_cast<char>('A' + n % 26))).substr(0, 48);
}
void WriteItem(ucac2::WorkFileSet& set, int index, int n) {
  const std::string item = Item(n);
  ucac2::WorkWrite(set, index, item.data(), 44);
  ucac2::WorkWrite(set, index, item.data() + 44, 4);
}

TEST(WorkFilesDeathTest, DeletedFilesAreFatalAndLinksAreRefusedWhereOutputsFollowThem) {
  ScopedTempDir temp;
  const char* const kLost = "^FTL \\*\\*\\* Internal error #4 - unable to open a temporary file\n$";
  ucac2::WorkFileSet& b = ucac2::BandFiles();
  ucac2::WorkFileSet& h = ucac2::HourFiles();
  // When the set is closed, and at the next message line (which is then never printed).
  EXPECT_EXIT((ucac2::NameBandFiles(b, 7), ucac2::CreateAll(b), ucac2::RemoveFile(b.names[3]),
               WriteItem(b, 3, 1), ucac2::CloseSet(b)),
              kExitsWithOne, kLost);
  EXPECT_EXIT((ucac2::SetExitDuties({ucac2::FlushWorkFiles, nullptr}), ucac2::NameHourFiles(h),
               ucac2::CreateAll(h), WriteItem(h, 2, 1), ucac2::RemoveFile(h.names[9]),
               WriteItem(h, 9, 2), ucac2::Message("never printed")),
              kExitsWithOne, kLost);
  EXPECT_FALSE(fs::exists("TMPB00703") || fs::exists("TMPA009")) << "append never creates";
  EXPECT_EQ(ReadFileBytes("TMPA002"), Item(1)) << "written before";
  // A symbolic link at a work-file name, to a file or to nothing, is never followed: neither
  // one there before the run, nor one put there after the run created the file.
  WriteFileBytes("target", "keep");
  for (const char* target : {"target", "dangling"}) {
    fs::remove("TMPA007");
    fs::create_symlink(target, "TMPA007");
    EXPECT_EXIT((ucac2::NameHourFiles(h), ucac2::CreateAll(h)), kExitsWithOne,
                "^FTL \\*\\*\\* Unable to open a temporary file\n$");
  }
  EXPECT_EXIT(
      (fs::remove("TMPA007"), ucac2::NameHourFiles(h), ucac2::CreateAll(h), fs::remove("TMPA007"),
       fs::create_symlink("target", "TMPA007"), WriteItem(h, 7, 1), ucac2::CloseSet(h)),
      kExitsWithOne, kLost);
  EXPECT_EQ(ReadFileBytes("target"), "keep");
  EXPECT_FALSE(fs::exists("dangling"));
  // A zone file or info.txt is created and written through a link, to a file or to nothing.
  for (const char* target : {"target", "dangling"}) {
    fs::remove("UCAC2_07.dat");
    fs::create_symlink(target, "UCAC2_07.dat");
    ucac2::File zone = ucac2::CreateOutputFile("UCAC2_07.dat");
    ucac2::WriteZoneHeader(zone, 1, 2);
    EXPECT_TRUE(fs::is_symlink("UCAC2_07.dat"));
    EXPECT_EQ(ReadFileBytes(target), std::string("\1\0\0\0\2\0\0\0", 8)) << target;
  }
}

TEST(MessagesDeathTest, FatalIsTheLastLineAndExitsWithOne) {
  const std::string x(5000, 'x');  // cut to the message buffer's 1,023 characters
  EXPECT_EXIT((ucac2::Message("m %d", 1), ucac2::Error("e %s", "two"), ucac2::PlainLine("p"),
               ucac2::Message("%s", x.c_str()), ucac2::Error("%sy", x.c_str()), std::exit(0)),
              testing::ExitedWithCode(0),
              "^MSG --- m 1\nERR >>> e two\np\nMSG --- x{1023}\nERR >>> x{1023}\n$");
  // Held-back output is written before the line, and the console given back after it.
  EXPECT_EXIT((ucac2::SetExitDuties({+[] { std::fputs("flushed\n", stderr); },
                                     +[] { std::fputs("restored\n", stderr); }}),
               ucac2::Fatal("last")),
              kExitsWithOne, "^flushed\nFTL \\*\\*\\* last\nrestored\n$");
  // A failure while held-back output is written ends the process with its own line alone.
  EXPECT_EXIT(
      (ucac2::SetExitDuties({+[] { ucac2::Fatal("inner"); }, nullptr}), ucac2::Fatal("outer")),
      kExitsWithOne, "^FTL \\*\\*\\* inner\n$");
}

}  // namespace
}  // namespace ucac2_test
