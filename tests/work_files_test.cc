// The work-file sets: names, create all, writes held back and landing in write order, close,
// delete all, and the failures.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "compile/work_files.h"
#include "front/report.h"
#include "test_util.h"

namespace {

namespace fs = std::filesystem;
using ucac2::WorkFileSet;

std::string Dot(const std::string& name) { return std::string(".") + ucac2::kPathSeparator + name; }
int OpenDescriptors() {
  return static_cast<int>(std::distance(fs::directory_iterator("/proc/self/fd"), {}));
}
// The nth 48-byte item, written as the distribution pass does: 44 bytes, then 4.
std::string Item(int n) {
  return (std::to_string(n) + std::string(48, static_cast<char>('A' + n % 26))).substr(0, 48);
}
void WriteItem(WorkFileSet& set, int index, int n) {
  const std::string item = Item(n);
  ucac2::WorkWrite(set, index, item.data(), 44);
  ucac2::WorkWrite(set, index, item.data() + 44, 4);
}

TEST(WorkFiles, Names) {
  WorkFileSet hours, bands;
  ucac2::NameHourFiles(hours);
  ucac2::NameBandFiles(bands, 23);
  EXPECT_EQ(std::string(hours.names[0]) + hours.names[23] + bands.names[0] + bands.names[17],
            Dot("TMPA000") + Dot("TMPA023") + Dot("TMPB02300") + Dot("TMPB02317"));
  EXPECT_EQ(hours.file_count * 100 + bands.file_count, 2418);
}

TEST(WorkFiles, ItemsLandInWriteOrderAndAppendAfterClose) {
  ucac2_test::ScopedTempDir temp;
  WorkFileSet set;
  ucac2::NameHourFiles(set);
  ucac2_test::WriteFileBytes("TMPA005", "old contents");
  ucac2::CreateAll(set);
  for (int h = 0; h < 24; ++h) EXPECT_EQ(fs::file_size(set.names[h]), 0u) << h;
  std::vector<std::string> expected(24);
  const int descriptors = OpenDescriptors();
  int n = 0;
  auto put = [&](int index) {
    expected[static_cast<std::size_t>(index)] += Item(n);
    WriteItem(set, index, n++);
    EXPECT_TRUE(n % 16 || OpenDescriptors() <= descriptors + 1) << "one open file per set";
  };
  // 3, 3, 5, 3, then items over neighbouring files, filling each one's held bytes many times.
  for (int index : {3, 3, 5, 3}) put(index);
  while (n < 6000) put(n % 7 == 0 ? 23 : n % 11 == 0 ? 0 : n % 3 == 0 ? 4 : n % 2 ? 3 : 5);
  ucac2::CloseSet(set);
  EXPECT_EQ(OpenDescriptors(), descriptors);
  for (int h = 0; h < 24; ++h) EXPECT_EQ(ucac2_test::ReadFileBytes(set.names[h]), expected[h]) << h;
  // After close, a write to the index open before appends behind its earlier items.
  put(3);
  ucac2::CloseSet(set);
  EXPECT_EQ(ucac2_test::ReadFileBytes(set.names[3]), expected[3]);
  ucac2::DeleteAll(set);
  EXPECT_TRUE(fs::is_empty(temp.path()));
  ucac2::DeleteAll(set);  // deleting what is gone is no failure
}

TEST(WorkFilesDeathTest, DeletedFilesAndSymbolicLinksAreFatal) {
  ucac2_test::ScopedTempDir temp;
  const auto one = testing::ExitedWithCode(1);
  const char* const kLost = "^FTL \\*\\*\\* Internal error #4 - unable to open a temporary file\n$";
  WorkFileSet& b = ucac2::BandFiles();
  WorkFileSet& h = ucac2::HourFiles();
  // When the set is closed, and at the next message line (which is then never printed).
  EXPECT_EXIT((ucac2::NameBandFiles(b, 7), ucac2::CreateAll(b), ucac2::RemoveFile(b.names[3]),
               WriteItem(b, 3, 1), ucac2::CloseSet(b)),
              one, kLost);
  EXPECT_EXIT((ucac2::SetExitDuties({ucac2::FlushWorkFiles, nullptr}), ucac2::NameHourFiles(h),
               ucac2::CreateAll(h), WriteItem(h, 2, 1), ucac2::RemoveFile(h.names[9]),
               WriteItem(h, 9, 2), ucac2::Message("never printed")),
              one, kLost);
  EXPECT_FALSE(fs::exists("TMPB00703") || fs::exists("TMPA009")) << "append never creates";
  EXPECT_EQ(ucac2_test::ReadFileBytes("TMPA002"), Item(1)) << "written before";
  // A symbolic link at a work-file name, to a file or to nothing, is never followed.
  ucac2_test::WriteFileBytes("target", "keep");
  for (const char* target : {"target", "dangling"}) {
    fs::remove("TMPA007");
    fs::create_symlink(target, "TMPA007");
    EXPECT_EXIT((ucac2::NameHourFiles(h), ucac2::CreateAll(h)), one,
                "^FTL \\*\\*\\* Unable to open a temporary file\n$");
  }
  EXPECT_EQ(ucac2_test::ReadFileBytes("target"), "keep");
  EXPECT_FALSE(fs::exists("dangling"));
}

}  // namespace
