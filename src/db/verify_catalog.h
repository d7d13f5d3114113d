// A database against the catalog it was compiled from: block by block by their digests, and
// for a block that differs, where it first differs.
#pragma once

#include <cstdint>
#include <string>

#include "db/digests.h"
#include "db/findings.h"
#include "db/verify_zones.h"

namespace ucac2 {

/// Digests the catalog in `catalog` as the compiler would file it, and reports each block
/// whose digest or count differs from `stored` (the zone files'), with its first difference
/// for the first few. The catalog files read and their stars go to `catalog_files` and
/// `catalog_stars`.
void CompareWithCatalog(Zones& zones, const BlockDigests& stored, const std::string& catalog,
                        Findings& findings, int* catalog_files, std::int64_t* catalog_stars);

}  // namespace ucac2
