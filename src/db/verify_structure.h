// The structure of a database: every zone file's head against its size and the other
// heads, every entry in its hour and band, and no work file left behind.
#pragma once

#include <cstdint>
#include <string>

#include "base/always_inline.h"
#include "base/star_record.h"
#include "base/zones.h"
#include "db/findings.h"
#include "db/verify_zones.h"

namespace ucac2 {

/// Reports the work files a compilation left in `database`.
void CheckWorkFiles(Findings& findings, const std::string& database);

/// Opens the zone file `zone.out.name` and reads its head; `zone.present` once it is read.
/// Reports a file missing, not regular, unopenable or shorter than a head.
void ReadHead(Zone& zone);

/// Reports each way the head of a present zone file disagrees with itself or its size.
void CheckHead(Zone& zone);

/// Reports a head whose catalog total differs from the others', and hour counts that do
/// not add up to the total. Returns the catalog total the heads agree on.
std::int32_t CheckTotals(Zones& zones, Findings& findings, const std::string& database);

/// The entries before the one checked in its zone file, for the checks of order.
struct EntryOrder {
  std::int32_t previous = 0;    // identifier
  int previous_band = kNoZone;  // the last band an entry was in
};

/// Reports an entry (its 48 bytes at `entry`) out of its hour or band, or out of order.
/// Inline: it runs for every entry.
UCAC2_ALWAYS_INLINE void CheckEntryPlace(Zone& zone, Place& where, EntryOrder& order,
                                         const std::uint8_t* entry) {
  const std::uint8_t* record = entry + kIdentifierSize;
  const std::int32_t identifier = LoadLE32(entry);
  const std::int32_t ra = LoadLE32(record + kRightAscensionOffset);
  const std::int32_t dec = LoadLE32(record + kDeclinationOffset);
  const int band = where.band;
  if (HourZone(ra) != zone.hour) {
    FileReport(zone.out, "%s: right ascension %ld mas is not in hour %d", where.Text(),
               static_cast<long>(ra), zone.hour);
  }
  if (zone.reader.fits) {
    if (DeclinationBand(dec) != band) {
      FileReport(zone.out, "%s: declination %ld mas is not in band %d", where.Text(),
                 static_cast<long>(dec), band);
    }
  } else if (band == kNoZone) {
    FileReport(zone.out, "%s: declination %ld mas is in no band", where.Text(),
               static_cast<long>(dec));
  } else if (band < order.previous_band) {
    FileReport(zone.out, "%s: declination %ld mas of band %d, after band %d", where.Text(),
               static_cast<long>(dec), band, order.previous_band);
  }
  if (where.index > 0 && identifier <= order.previous) {
    FileReport(zone.out, "%s: identifier %ld after %ld, not increasing", where.Text(),
               static_cast<long>(identifier), static_cast<long>(order.previous));
  }
  order.previous = identifier;
  if (band != kNoZone) order.previous_band = band;
}

}  // namespace ucac2
