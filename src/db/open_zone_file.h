// Opening a zone file of the database for reading, its header and band index checked.
#pragma once

#include <string>

#include "base/file.h"
#include "base/zone_file.h"
#include "db/findings.h"

namespace ucac2 {

/// The path of hour `hour`'s zone file in the database folder `db`.
std::string ZoneFilePath(const std::string& db, int hour);

/// Opens the zone file `path` and reads its head into `head`; false, after reporting the
/// file as missing, unreadable or damaged, when it cannot be used. Leaves the file just past
/// the head.
bool OpenZoneFile(const char* path, File* file, ZoneHead* head, Findings& findings);

}  // namespace ucac2
