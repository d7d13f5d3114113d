// Reading zone files: a query trusts a band block only once the head that locates it agrees
// with the file's size.
#include "db/zone_reader.h"

#include "base/paths.h"

namespace ucac2 {

std::string ZoneFilePath(const std::string& db, int hour) {
  char name[kZoneFileNameSize];
  ZoneFileName(hour, name);
  return JoinPath(db, name);
}

ZoneOpening OpenZone(const std::string& path, ZoneReader& reader) {
  reader.path = path;
  switch (QueryPathKind(path.c_str(), &reader.size)) {
    case PathKind::kMissing:
      return ZoneOpening::kMissing;
    case PathKind::kUnknown:
      return ZoneOpening::kUnknown;
    case PathKind::kOther:
      return ZoneOpening::kNotRegular;
    case PathKind::kRegularFile:
      break;
  }
  reader.file = OpenForReading(path.c_str());
  if (!reader.file.is_open()) return ZoneOpening::kUnopenable;
  if (reader.size < kFirstBlockOffset) return ZoneOpening::kShort;
  std::uint8_t bytes[kFirstBlockOffset];
  if (ReadBytes(reader.file, bytes, sizeof bytes) != kFirstBlockOffset) {
    return ZoneOpening::kUnreadable;
  }
  reader.head = DecodeZoneHead(bytes);
  reader.fits = ZoneHeadFitsFile(reader.head, reader.size);
  reader.entries = (reader.size - kFirstBlockOffset) / kEntrySize;
  reader.next = reader.end = 0;
  return ZoneOpening::kOpened;
}

bool OpenZoneForQuery(const std::string& db, int hour, ZoneReader& reader, Findings& findings) {
  const ZoneOpening opening = OpenZone(ZoneFilePath(db, hour), reader);
  const char* path = reader.path.c_str();
  switch (opening) {
    case ZoneOpening::kMissing:
    case ZoneOpening::kUnknown:
    case ZoneOpening::kUnopenable:
      Report(findings, path, "missing or unreadable zone file");
      return false;
    case ZoneOpening::kNotRegular:
      Report(findings, path, "not a regular file");
      return false;
    case ZoneOpening::kShort:
    case ZoneOpening::kUnreadable:
      Report(findings, path, "damaged zone file: shorter than its header and band index");
      return false;
    case ZoneOpening::kOpened:
      break;
  }
  if (!reader.fits) {
    Report(findings, path,
           "damaged zone file: its header and band index do not match its %lld bytes",
           static_cast<long long>(reader.size));
    return false;
  }
  return true;
}

void StartEntries(ZoneReader& reader, std::int64_t first, std::int64_t count) {
  reader.next = first;
  reader.end = first + count;
  reader.positioned = false;
}

void StartBand(ZoneReader& reader, int band) {
  StartEntries(reader, (reader.head.offsets[band] - kFirstBlockOffset) / kEntrySize,
               reader.head.counts[band]);
}

std::int64_t NextEntries(ZoneReader& reader, EntryBlock& block) {
  block.count = 0;
  const std::int64_t left = reader.end - reader.next;
  if (left <= 0) return 0;
  if (!reader.positioned) {
    if (!SeekTo(reader.file, NextEntryOffset(reader))) return -1;
    reader.positioned = true;
  }
  const std::int64_t count = left < kZoneBlockEntries ? left : kZoneBlockEntries;
  const auto bytes = static_cast<std::size_t>(count * kEntrySize);
  if (ReadBytes(reader.file, block.bytes.get(), bytes) != static_cast<std::int64_t>(bytes)) {
    return -1;
  }
  reader.next += count;
  block.count = count;
  return count;
}

std::int64_t NextEntryOffset(const ZoneReader& reader) {
  return kFirstBlockOffset + reader.next * kEntrySize;
}

}  // namespace ucac2
