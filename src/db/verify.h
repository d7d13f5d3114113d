// Verifying a compiled database: its 24 zone files and info.txt, and, given the catalog it
// was compiled from, that it is exactly what that catalog compiles to.
#pragma once

#include <string>

#include "db/findings.h"

namespace ucac2 {

/// What to verify.
struct VerifyRequest {
  std::string database = ".";  // the directory of the zone files and info.txt
  std::string catalog;         // the catalog to compare with; empty for none
};

/// Checks the database in fixed memory, reading each file in fixed blocks; prints each
/// finding as a line naming its file, then a summary line, and returns the findings.
Findings VerifyDatabase(const VerifyRequest& request);

}  // namespace ucac2
