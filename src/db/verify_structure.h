// The structure of a database: every zone file's head against its size and the other
// heads, every entry in its hour and band, and no work file left behind.
#pragma once

#include <cstdint>
#include <string>

#include "db/digests.h"
#include "db/findings.h"
#include "db/verify_ids.h"
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

/// Reads every entry of a present zone file once, through `block`: reports an entry out of
/// its hour or band or out of order, checks its identifier, and adds it to its block's digest
/// in `digests` unless that is null.
void ScanZone(Zone& zone, Identifiers& ids, BlockDigests* digests, EntryBlock& block,
              std::int64_t* progress_done);

}  // namespace ucac2
