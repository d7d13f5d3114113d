// Fuzzing a zone file's head and band index: any bytes, taken as a whole zone file. The file
// opens, and its head is accepted, exactly when the head lays the file out in band blocks
// that chain from the end of the head to the end of the file, counted here again in wide
// integers.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "base/star_record.h"
#include "base/zone_file.h"
#include "db/findings.h"
#include "db/open_zone_file.h"
#include "fuzz_util.h"

namespace ucac2::fuzz {
namespace {

// The layout told from the bytes alone, with nothing that can wrap.
bool LaysOutFile(const ZoneHead& head, std::int64_t size) {
  std::int64_t end = kFirstBlockOffset;
  std::int64_t stars = 0;
  for (int b = 0; b < kBands; ++b) {
    if (head.counts[b] < 0 || head.offsets[b] != end) return false;
    end += std::int64_t{head.counts[b]} * kEntrySize;
    stars += head.counts[b];
  }
  return stars == head.hour_count && end == size;
}

}  // namespace
}  // namespace ucac2::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace ucac2;
  static const std::string path = fuzz::ScratchFolder() + "/UCAC2_00.dat";
  const auto file_size = static_cast<std::int64_t>(size);
  const ZoneHead head = size >= kFirstBlockOffset ? DecodeZoneHead(data) : ZoneHead{};
  const bool lays_out = size >= kFirstBlockOffset && fuzz::LaysOutFile(head, file_size);

  fuzz::WriteScratchFile(fuzz::ScratchFolder(), "UCAC2_00.dat",
                         std::string_view(reinterpret_cast<const char*>(data), size));
  File file;
  ZoneHead opened;
  Findings findings;
  const bool open = OpenZoneFile(path.c_str(), &file, &opened, findings);
  if (open != lays_out) fuzz::Fail("a zone file opens exactly when its blocks lay out the file");
  if (open == (findings.total != 0)) fuzz::Fail("a zone file that does not open is reported");
  if (size < kFirstBlockOffset) return 0;

  const bool accepted = ZoneHeadFitsFile(head, file_size);
  if (accepted != lays_out) {
    fuzz::Fail("a zone head is accepted exactly when its blocks lay out the file");
  }
  // The same head claiming a file one entry longer or shorter must not fit too.
  if (accepted && (ZoneHeadFitsFile(head, file_size + kEntrySize) ||
                   ZoneHeadFitsFile(head, file_size - kEntrySize))) {
    fuzz::Fail("a zone head fits one file size only");
  }
  return 0;
}
