// The building blocks: the zone arithmetic, the zone-file entry, the record reader, the zone
// header and band index, the report info.txt, and the work files. (The end-to-end checker
// verifies every zone file and report in full, on catalogs whose every record field is read;
// these pin known values, and the failures.)
#include <gtest/gtest.h>
#include <unistd.h>

#include <climits>
#include <cstring>

#include "base/faults.h"
#include "base/star_record.h"
#include "base/zones.h"
#include "compile/formats.h"
#include "compile/placement.h"
#include "compile/record_reader.h"
#include "compile/report.h"
#include "compile/work_files.h"
#include "test_util.h"

namespace ucac2_test {
namespace {

const testing::ExitedWithCode kExitsWithOne(1);

TEST(Zones, BoundaryTables) {
  // Each first value of a zone or band in the table and the value one below it, then the
  // corrected values short of 360 degrees (computed hour 24) and near and at the poles.
  const std::vector<std::pair<std::int32_t, int>> hours = {
      {0, 0},           {53999998, 0},    {53999999, 1},    {107999997, 1},
      {107999998, 2},   {647999982, 11},  {647999983, 12},  {1241999966, 22},
      {1241999967, 23}, {1295999965, 23}, {1295999966, 23}, {1295999999, 23}};
  for (const auto& [ra, hour] : hours) EXPECT_EQ(ucac2::HourZone(ra), hour) << ra;
  const std::vector<std::pair<std::int32_t, int>> bands = {
      {0, 8},           {-1, 9},         {35999998, 8},    {35999999, 7},    {287999991, 1},
      {287999992, 0},   {323999990, 0},  {323999991, 0},   {324000000, 0},   {-35999998, 9},
      {-35999999, 10},  {-36000000, 10}, {-287999991, 16}, {-287999992, 17}, {-323999990, 17},
      {-323999991, 17}, {-324000000, 17}};
  for (const auto& [dec, band] : bands) EXPECT_EQ(ucac2::DeclinationBand(dec), band) << dec;
}

TEST(ZonesDeathTest, OutsideTheValidRangesHasNoZoneAndStopsTheCompilation) {
  ucac2::StarRecord record{};
  for (std::int32_t ra : {-1, -53999999, INT_MIN, 1296000000, 1296000034, INT_MAX}) {
    EXPECT_EQ(ucac2::HourZone(ra), ucac2::kNoZone) << ra;
    ucac2::StoreLE32(record.bytes, ra);
    EXPECT_EXIT(ucac2::StarHour(record), kExitsWithOne,
                "^FTL \\*\\*\\* Internal error #2 - RA zone calculation\n$")
        << ra;
  }
  for (std::int32_t dec : {324000001, -324000001, 330000000, INT_MIN, INT_MAX}) {
    EXPECT_EQ(ucac2::DeclinationBand(dec), ucac2::kNoZone) << dec;
    ucac2::StoreLE32(record.bytes + 4, dec);
    EXPECT_EXIT(ucac2::StarBand(record), kExitsWithOne,
                "^FTL \\*\\*\\* Internal error #3 - DE zone calculation\n$")
        << dec;
  }
}

TEST(StarRecord, EntryIsTheRecordBehindFourIdentifierBytes) {
  ucac2::StarRecord record;
  for (int i = 0; i < 44; ++i) record.bytes[i] = static_cast<std::uint8_t>(i * 5 + 1);
  ucac2::CatalogEntry entry;
  ucac2::BuildEntry(-2, record, &entry);
  const std::uint8_t identifier[] = {0xfe, 0xff, 0xff, 0xff};  // little-endian
  EXPECT_EQ(std::memcmp(entry.bytes, identifier, 4), 0);
  EXPECT_EQ(std::memcmp(entry.bytes + 4, record.bytes, 44), 0);
}

// The buffered record reader: blocks of 32,768 bytes, pieces straddling two blocks, trailing
// bytes never delivered, and the failures.
// Writes `size` patterned bytes to `name` and returns them.
std::string MakeFile(const char* name, int size) {
  std::string bytes(static_cast<std::size_t>(size), '\0');
  for (int i = 0; i < size; ++i) bytes[static_cast<std::size_t>(i)] = static_cast<char>(i % 251);
  WriteFileBytes(name, bytes);
  return bytes;
}
std::string Take(ucac2::RecordReader& reader, int n) {
  std::string piece(static_cast<std::size_t>(n), '\0');
  ucac2::ReaderTake(reader, piece.data(), n);
  return piece;
}

TEST(RecordReader, DeliversEveryWholePieceReadingBlocksOf32768) {
  ScopedTempDir temp;
  ucac2::InstallFaultPlan({});  // no fault: only counts the reads
  // At 32,768 + 20 bytes the 745th record of 44 straddles the two blocks.
  for (int size : {0, 43, 44, 100, 32768, 32768 + 20, 65536, 3 * 32768 + 5}) {
    for (const std::vector<int>& pieces : std::vector<std::vector<int>>{{44}, {44, 4}, {4, 44}}) {
      SCOPED_TRACE(std::to_string(size) + " bytes, first piece " + std::to_string(pieces[0]));
      const std::string bytes = MakeFile("data", size);
      ucac2::File file = ucac2::OpenForReading("data");
      const std::int64_t reads = ucac2::FaultCallsMade(ucac2::FaultCall::kRead);
      ucac2::RecordReader reader;
      ASSERT_TRUE(ucac2::ReaderStart(reader, file, "data", size, 0));
      int at = 0;
      for (std::size_t k = 0; at + pieces[k % pieces.size()] <= size; ++k) {
        const int n = pieces[k % pieces.size()];
        ASSERT_EQ(Take(reader, n), bytes.substr(static_cast<std::size_t>(at), n)) << at;
        at += n;
      }
      // One read per block reached, the first when the reader starts.
      const int blocks = size == 0 ? 0 : at <= 32768 ? 1 : (at + 32767) / 32768;
      EXPECT_EQ(ucac2::FaultCallsMade(ucac2::FaultCall::kRead) - reads, blocks);
      ucac2::ReaderFinish(reader);
      EXPECT_EQ(reader.buffer, nullptr);
    }
  }
}

// Starts a reader on "short" of `claimed` bytes and takes `takes` pieces of 44 bytes.
void ReadShort(int claimed, int takes) {
  ucac2::RecordReader reader;
  ucac2::File file = ucac2::OpenForReading("short");
  if (!ucac2::ReaderStart(reader, file, "short", claimed, 0)) std::exit(2);
  for (int i = 0; i < takes; ++i) Take(reader, 44);
}

TEST(RecordReaderDeathTest, ShortReadsTakesPastTheEndAndHugeFilesAreFatal) {
  ScopedTempDir temp;
  // {actual, claimed, takes}: a file shorter than its size queried before, in the first block
  // and in a later one; then takes past the end, which never read outside the buffer.
  for (const auto& c : std::vector<std::vector<int>>{
           {1000, 1001, 0}, {40000, 70000, 70000 / 44}, {0, 0, 1}, {32788, 32788, 746}}) {
    MakeFile("short", c[0]);
    EXPECT_EXIT(ReadShort(c[1], c[2]), kExitsWithOne,
                "^FTL \\*\\*\\* Unable to read data file 'short'\n$")
        << c[0] << " " << c[1];
  }
  // A file of 2^31 bytes (sparse) does not fit the signed 32-bit sizes; one byte less does.
  ASSERT_EQ(::truncate("short", std::int64_t{1} << 31), 0);
  EXPECT_EXIT(ucac2::LocateDataFile("short"), kExitsWithOne,
              "^FTL \\*\\*\\* Data file too large \\(2 GiB or more\\) 'short'\n$");
  ASSERT_EQ(::truncate("short", (std::int64_t{1} << 31) - 1), 0);
  EXPECT_EQ(ucac2::LocateDataFile("short"), (std::int64_t{1} << 31) - 1);
}

// The zone file's header and band index, and the report info.txt.
using Words = std::vector<std::int32_t>;

TEST(Formats, ZoneHeaderAndBandIndex) {
  ScopedTempDir temp;
  // An empty hour; an hour of 3 stars in band 4 and 2 in band 9: counts, offsets expected.
  const std::pair<Words, Words> cases[] = {
      {Words(18, 0), Words(18, 152)},
      {{0, 0, 0, 0, 3, 0, 0, 0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0},
       {152, 152, 152, 152, 152, 296, 296, 296, 296, 296, 392, 392, 392, 392, 392, 392, 392, 392}}};
  for (const auto& [counts, expected_offsets] : cases) {
    const std::int32_t hour_count = counts[4] + counts[9];
    std::int32_t offsets[18] = {};
    {
      ucac2::File zone = ucac2::CreateOutputFile("UCAC2_07.dat");
      ucac2::WriteZoneHeader(zone, 0x01020304, hour_count);
      ucac2::WriteBandIndex(zone, counts.data(), offsets);
    }
    Words words = {0x01020304, hour_count};  // little-endian, 04 03 02 01 first
    for (int b = 0; b < 18; ++b) words.insert(words.end(), {expected_offsets[b], counts[b]});
    std::string expected;
    for (std::int32_t word : words) PutLe32(expected, word);
    EXPECT_EQ(ReadFileBytes("UCAC2_07.dat"), expected);
    EXPECT_EQ(Words(offsets, offsets + 18), expected_offsets);
  }
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

// The work-file sets: create all, writes held back and landing in write order, close, delete
// all, and the failures. (Their names are checked by the fault sweep and the end-to-end tests.)
int OpenDescriptors() {
  return static_cast<int>(std::distance(fs::directory_iterator("/proc/self/fd"), {}));
}
// The nth 48-byte item, written as the distribution pass does: 44 bytes, then 4.
std::string Item(int n) {
  return (std::to_string(n) + std::string(48, static_cast<char>('A' + n % 26))).substr(0, 48);
}
void WriteItem(ucac2::WorkFileSet& set, int index, int n) {
  const std::string item = Item(n);
  ucac2::WorkWrite(set, index, item.data(), 44);
  ucac2::WorkWrite(set, index, item.data() + 44, 4);
}

TEST(WorkFiles, ItemsLandInWriteOrderAndAppendAfterClose) {
  ScopedTempDir temp;
  ucac2::WorkFileSet set;
  ucac2::NameHourFiles(set);
  WriteFileBytes("TMPA005", "old contents");
  ucac2::CreateAll(set);
  for (int h = 0; h < 24; ++h) EXPECT_EQ(fs::file_size(set.names[h]), 0u) << h;
  std::vector<std::string> expected(24);
  const int descriptors = OpenDescriptors();
  int n = 0;
  auto put = [&](int index) {
    expected[static_cast<std::size_t>(index)] += Item(n);
    WriteItem(set, index, n++);
  };
  // 3, 3, 5, 3, then items over neighbouring files, filling each one's held bytes many times.
  for (int index : {3, 3, 5, 3}) put(index);
  while (n < 6000) put(n % 7 == 0 ? 23 : n % 11 == 0 ? 0 : n % 3 == 0 ? 4 : n % 2 ? 3 : 5);
  ucac2::CloseSet(set);
  EXPECT_EQ(OpenDescriptors(), descriptors) << "one open file per set, closed with it";
  for (int h = 0; h < 24; ++h) EXPECT_EQ(ReadFileBytes(set.names[h]), expected[h]) << h;
  // After close, a write to the index open before appends behind its earlier items.
  put(3);
  ucac2::CloseSet(set);
  EXPECT_EQ(ReadFileBytes(set.names[3]), expected[3]);
  ucac2::DeleteAll(set);
  EXPECT_TRUE(fs::is_empty(temp.path()));
  ucac2::DeleteAll(set);  // deleting what is gone is no failure
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
  // A symbolic link at a work-file name, to a file or to nothing, is never followed.
  WriteFileBytes("target", "keep");
  for (const char* target : {"target", "dangling"}) {
    fs::remove("TMPA007");
    fs::create_symlink(target, "TMPA007");
    EXPECT_EXIT((ucac2::NameHourFiles(h), ucac2::CreateAll(h)), kExitsWithOne,
                "^FTL \\*\\*\\* Unable to open a temporary file\n$");
  }
  EXPECT_EQ(ReadFileBytes("target"), "keep");
  EXPECT_FALSE(fs::exists("dangling"));
  // A zone file or info.txt is created and written through a link, to a file or to nothing.
  std::string header;
  PutLe32(header, 1);
  PutLe32(header, 2);
  for (const char* target : {"target", "dangling"}) {
    fs::remove("UCAC2_07.dat");
    fs::create_symlink(target, "UCAC2_07.dat");
    ucac2::File zone = ucac2::CreateOutputFile("UCAC2_07.dat");
    ucac2::WriteZoneHeader(zone, 1, 2);
    EXPECT_TRUE(fs::is_symlink("UCAC2_07.dat"));
    EXPECT_EQ(ReadFileBytes(target), header) << target;
  }
  fs::create_symlink("/dev/full", "info.txt");
  EXPECT_EXIT(([] {
                ucac2::File report = ucac2::CreateOutputFile("info.txt");
                ucac2::WriteZoneHeader(report, 1, 2);
              }()),
              kExitsWithOne, "^FTL \\*\\*\\* Unable to write on disk\n$");
}

}  // namespace
}  // namespace ucac2_test
