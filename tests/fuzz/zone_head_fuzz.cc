// Fuzzing a zone file's head and band index through the one zone reader: any bytes, taken as a
// whole zone file. The head fits exactly when it lays the file out in band blocks that chain
// from the end of the head to the end of the file (counted here again in wide integers), and
// the reader then hands out every band's block, and the whole file, entry for entry.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "base/star_record.h"
#include "base/zone_file.h"
#include "db/zone_reader.h"
#include "fuzz_util.h"

namespace ucac2::fuzz {
namespace {

constexpr const char* kZoneName = "UCAC2_00.dat";

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

// The entries of the run started, handed out block by block, each as the file holds it.
std::int64_t HandOut(ZoneReader& reader, const std::uint8_t* file, std::int64_t first) {
  std::int64_t handed = 0;
  EntryBlock block;
  std::int64_t count;
  while ((count = NextEntries(reader, block)) > 0) {
    const std::uint8_t* entries = block.bytes.get();
    if (count > kZoneBlockEntries) Fail("a block holds at most kZoneBlockEntries entries");
    const auto bytes = static_cast<std::size_t>(count * kEntrySize);
    const std::uint8_t* expected = file + kFirstBlockOffset + (first + handed) * kEntrySize;
    if (std::string_view(reinterpret_cast<const char*>(entries), bytes) !=
        std::string_view(reinterpret_cast<const char*>(expected), bytes)) {
      Fail("the reader hands out the entries as the file holds them");
    }
    handed += count;
  }
  if (count < 0) Fail("a file of the size queried reads to the end");
  return handed;
}

}  // namespace
}  // namespace ucac2::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace ucac2;
  static const std::string path = fuzz::ScratchFolder() + "/" + fuzz::kZoneName;
  fuzz::WriteScratchFile(fuzz::ScratchFolder(), fuzz::kZoneName,
                         std::string_view(reinterpret_cast<const char*>(data), size));
  const auto file_size = static_cast<std::int64_t>(size);
  ZoneReader reader;
  const ZoneOpening opening = OpenZone(path, reader);
  if (size < kFirstBlockOffset) {
    if (opening != ZoneOpening::kShort) fuzz::Fail("a file shorter than a head is short");
    return 0;
  }
  if (opening != ZoneOpening::kOpened) fuzz::Fail("a file as long as a head opens");
  const ZoneHead head = DecodeZoneHead(data);
  if (reader.fits != fuzz::LaysOutFile(head, file_size)) {
    fuzz::Fail("a zone head fits exactly when its blocks lay out the file");
  }
  if (reader.entries != (file_size - kFirstBlockOffset) / kEntrySize) {
    fuzz::Fail("the entries are the whole ones after the head");
  }
  StartEntries(reader, 0, reader.entries);
  if (fuzz::HandOut(reader, data, 0) != reader.entries) fuzz::Fail("every entry is handed out");
  if (!reader.fits) return 0;
  for (int b = 0; b < kBands; ++b) {
    StartBand(reader, b);
    const std::int64_t first = (head.offsets[b] - kFirstBlockOffset) / kEntrySize;
    if (fuzz::HandOut(reader, data, first) != head.counts[b]) {
      fuzz::Fail("a band's block holds the entries its head counts");
    }
  }
  return 0;
}
