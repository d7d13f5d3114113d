// Opening zone files: a query trusts a band block only once the head that locates it
// agrees with the file's size.
#include "db/open_zone_file.h"

#include <cstdint>

#include "base/paths.h"

namespace ucac2 {

std::string ZoneFilePath(const std::string& db, int hour) {
  char name[kZoneFileNameSize];
  ZoneFileName(hour, name);
  return JoinPath(db, name);
}

bool OpenZoneFile(const char* path, File* file, ZoneHead* head, Findings& findings) {
  *file = OpenForReading(path);
  std::int64_t size = 0;
  if (!file->is_open() || !QueryFileSize(path, &size)) {
    Report(findings, path, "missing or unreadable zone file");
    return false;
  }
  std::uint8_t bytes[kFirstBlockOffset];
  if (ReadBytes(*file, bytes, sizeof bytes) != kFirstBlockOffset) {
    Report(findings, path, "damaged zone file: shorter than its header and band index");
    return false;
  }
  *head = DecodeZoneHead(bytes);
  if (!ZoneHeadFitsFile(*head, size)) {
    Report(findings, path,
           "damaged zone file: its header and band index do not match its %lld bytes",
           static_cast<long long>(size));
    return false;
  }
  return true;
}

}  // namespace ucac2
