// The buffered record reader: blocks of 32,768 bytes, pieces straddling two blocks, trailing
// bytes never delivered, and the failures.
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "compile/faults.h"
#include "compile/record_reader.h"
#include "test_util.h"

namespace {

using ucac2::RecordReader;

// Writes `size` patterned bytes to `name` and returns them.
std::string MakeFile(const char* name, int size) {
  std::string bytes(static_cast<std::size_t>(size), '\0');
  for (int i = 0; i < size; ++i) bytes[static_cast<std::size_t>(i)] = static_cast<char>(i % 251);
  ucac2_test::WriteFileBytes(name, bytes);
  return bytes;
}
std::string Take(RecordReader& reader, int n) {
  std::string piece(static_cast<std::size_t>(n), '\0');
  ucac2::ReaderTake(reader, piece.data(), n);
  return piece;
}

TEST(RecordReader, DeliversEveryWholePieceReadingBlocksOf32768) {
  ucac2_test::ScopedTempDir temp;
  ucac2::InstallFaultPlan({});  // no fault: only counts the reads
  for (int size : {0, 43, 44, 100, 32768, 32768 + 20, 65536, 3 * 32768 + 5}) {
    for (const std::vector<int>& pieces : std::vector<std::vector<int>>{{44}, {44, 4}, {4, 44}}) {
      SCOPED_TRACE(std::to_string(size) + " bytes, first piece " + std::to_string(pieces[0]));
      const std::string bytes = MakeFile("data", size);
      ucac2::File file = ucac2::OpenForReading("data");
      const std::int64_t reads = ucac2::FaultCallsMade(ucac2::FaultCall::kRead);
      RecordReader reader;
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

TEST(RecordReader, Piece745StraddlesTwoBlocksAndFirstOffset) {
  ucac2_test::ScopedTempDir temp;
  const std::string bytes = MakeFile("data", 32768 + 20);
  ucac2::File file = ucac2::OpenForReading("data");
  RecordReader reader;
  ASSERT_TRUE(ucac2::ReaderStart(reader, file, "data", 32768 + 20, 0));
  for (int i = 0; i < 744; ++i) Take(reader, 44);
  EXPECT_EQ(reader.position, 32736);  // 32 bytes left in the first block
  EXPECT_EQ(Take(reader, 44), bytes.substr(32736, 44));
  EXPECT_EQ(reader.position, 12);  // 12 taken from the second block, of its 20
  EXPECT_EQ(reader.filled, 20);
  // A first offset beyond the size (or below 0) fails and holds nothing.
  for (std::int64_t beyond : {101, -1}) {
    EXPECT_FALSE(ucac2::ReaderStart(reader, file, "data", 100, beyond));
    EXPECT_EQ(reader.buffer, nullptr);
  }
  ASSERT_TRUE(ucac2::ReaderStart(reader, file, "data", 100, 100));
  EXPECT_EQ(reader.filled, 0);
  ASSERT_TRUE(ucac2::ReaderStart(reader, file, "data", 100, 50));
  EXPECT_EQ(Take(reader, 44), bytes.substr(50, 44));
}

// Starts a reader on "short" of `claimed` bytes and takes `takes` pieces of 44 bytes.
void ReadShort(int claimed, int takes) {
  RecordReader reader;
  ucac2::File file = ucac2::OpenForReading("short");
  if (!ucac2::ReaderStart(reader, file, "short", claimed, 0)) std::exit(2);
  for (int i = 0; i < takes; ++i) Take(reader, 44);
}

TEST(RecordReaderDeathTest, ShortReadsTakesPastTheEndAndHugeFilesAreFatal) {
  ucac2_test::ScopedTempDir temp;
  const auto one = testing::ExitedWithCode(1);
  // {actual, claimed, takes}: a file shorter than its size queried before, in the first block
  // and in a later one; then takes past the end, which never read outside the buffer.
  for (const auto& c : std::vector<std::vector<int>>{
           {1000, 1001, 0}, {40000, 70000, 70000 / 44}, {0, 0, 1}, {32788, 32788, 746}}) {
    MakeFile("short", c[0]);
    EXPECT_EXIT(ReadShort(c[1], c[2]), one, "^FTL \\*\\*\\* Unable to read data file 'short'\n$")
        << c[0] << " " << c[1];
  }
  EXPECT_EXIT(ucac2::LocateDataFile("missing"), one,
              "^FTL \\*\\*\\* Unable to locate data file 'missing'\n$");
  // A file of 2^31 bytes (sparse) does not fit the signed 32-bit sizes; one byte less does.
  ASSERT_EQ(::truncate("short", std::int64_t{1} << 31), 0);
  EXPECT_EXIT(ucac2::LocateDataFile("short"), one, "^FTL \\*\\*\\* [^\n]*'short'\n$");
  ASSERT_EQ(::truncate("short", (std::int64_t{1} << 31) - 1), 0);
  EXPECT_EQ(ucac2::LocateDataFile("short"), (std::int64_t{1} << 31) - 1);
}

}  // namespace
