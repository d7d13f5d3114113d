// The files the compilation writes: the zone file's header and band index, and the report.
#pragma once

#include <cstdint>

#include "base/file.h"
#include "base/zone_file.h"
#include "compile/compile_job.h"

namespace ucac2 {

/// Creates `name` empty (truncating an old file) and opens it for appending, through a
/// symbolic link standing at `name`; a failure of either is a fatal error naming the file.
File CreateOutputFile(const char* name);

/// Appends the zone header: the catalog total and the hour's star count.
void WriteZoneHeader(File& zone, std::int32_t catalog_total, std::int32_t hour_count);

/// Appends the band index for the hour's 18 band counts; stores each band's byte offset in
/// `offsets`.
void WriteBandIndex(File& zone, const std::int32_t counts[kBands], std::int32_t offsets[kBands]);

/// Writes the report `info.txt` in full, every line ending in CR LF.
void WriteReport(const CompileJob& job, std::int32_t objects, const BandTable& offsets,
                 const BandTable& counts);

}  // namespace ucac2
