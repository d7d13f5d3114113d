// Fuzzing a whole database as verify and find read it: the input is cut at the file
// separator into the 24 zone files and info.txt (a file with no part is missing). A database
// that verify passes is one that find reads to the end without an error.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "base/zone_file.h"
#include "db/find.h"
#include "db/region.h"
#include "db/verify.h"
#include "fuzz_util.h"

namespace ucac2::fuzz {
namespace {

constexpr int kDatabaseFiles = kHourZones + 1;  // the zone files, then info.txt

// A cone of 180 degrees: every block of the database is read.
Region WholeSky() {
  Region sky;
  sky.kind = RegionKind::kCone;
  sky.radius.nano_mas = 180 * kNanoMasPerDegree;
  return sky;
}

}  // namespace
}  // namespace ucac2::fuzz

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  ucac2::fuzz::DiscardStandardOutput();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace ucac2;
  const std::string& folder = fuzz::ScratchFolder();
  const std::vector<std::string_view> parts = fuzz::SplitInput(data, size, fuzz::kDatabaseFiles);
  for (int i = 0; i < fuzz::kDatabaseFiles; ++i) {
    char zone_name[kZoneFileNameSize];
    const char* name = kReportName;
    if (i < kHourZones) {
      ZoneFileName(i, zone_name);
      name = zone_name;
    }
    if (static_cast<std::size_t>(i) < parts.size()) {
      fuzz::WriteScratchFile(folder, name, parts[static_cast<std::size_t>(i)]);
    } else {
      fuzz::RemoveScratchFile(folder, name);
    }
  }
  VerifyRequest request;
  request.database = folder;
  if (VerifyDatabase(request).total == 0 && FindStars(folder, fuzz::WholeSky(), -1) != 0) {
    fuzz::Fail("find reads without an error every database verify passes");
  }
  return 0;
}
