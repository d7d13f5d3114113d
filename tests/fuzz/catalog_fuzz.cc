// Fuzzing catalog files as check-catalog and the compiler's distribution pass read them: the
// first two bytes choose one of the 324 files, the rest is its content; the other files are
// empty. Whatever would stop a compilation (a star with no hour zone or no declination band,
// or a cflg that marks it as of the other part of the catalog) check-catalog reports.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "base/catalog_files.h"
#include "base/star_record.h"
#include "base/zones.h"
#include "db/check_catalog.h"
#include "fuzz_util.h"

namespace ucac2::fuzz {
namespace {

constexpr std::size_t kChoiceBytes = 2;

// What the distribution and regrouping passes end the run on, asked without ending it: the
// placement functions' kNoZone, and the cflg rule.
bool StopsCompilation(const CatalogFile& file, std::string_view bytes) {
  const bool supplement = file.kind == FileKind::kSupplement;
  for (std::size_t at = 0; at + kRecordSize <= bytes.size(); at += kRecordSize) {
    StarRecord record;
    bytes.copy(reinterpret_cast<char*>(record.bytes), kRecordSize, at);
    if (HourZone(RightAscension(record)) == kNoZone ||
        DeclinationBand(Declination(record)) == kNoZone || IsSupplementStar(record) != supplement) {
      return true;
    }
  }
  return false;
}

// A catalog of empty files, which check-catalog passes when star counts are not compared.
const std::string& EmptyCatalog() {
  static const std::string folder = [] {
    for (int n = 1; n <= kCatalogFiles; ++n) {
      WriteScratchFile(ScratchFolder(), CatalogFileAt(n).name, "");
    }
    return ScratchFolder();
  }();
  return folder;
}

}  // namespace
}  // namespace ucac2::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace ucac2;
  if (size < fuzz::kChoiceBytes) return 0;
  const std::string& folder = fuzz::EmptyCatalog();
  const int place = 1 + (data[0] | data[1] << 8) % kCatalogFiles;
  const CatalogFile file = CatalogFileAt(place);
  const std::string_view bytes(reinterpret_cast<const char*>(data) + fuzz::kChoiceBytes,
                               size - fuzz::kChoiceBytes);
  fuzz::WriteScratchFile(folder, file.name, bytes);
  const int status = CheckCatalog(folder.c_str(), true);
  fuzz::WriteScratchFile(folder, file.name, "");
  if (fuzz::StopsCompilation(file, bytes) && status == 0) {
    fuzz::Fail("check-catalog reports every file that would stop a compilation");
  }
  if (bytes.empty() && status != 0) fuzz::Fail("check-catalog passes a catalog of empty files");
  return 0;
}
