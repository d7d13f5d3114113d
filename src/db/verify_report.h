// The report info.txt of a database, line by line against what its zone files imply.
#pragma once

#include <string>

#include "db/findings.h"
#include "db/verify_zones.h"

namespace ucac2 {

/// Reads info.txt in `database` and reports every line that differs from the report the
/// zone files' heads imply (a line that depends on a head that does not fit its file is not
/// compared), and a report shorter or longer than that.
void CheckReport(const Zones& zones, Findings& findings, const std::string& database);

}  // namespace ucac2
