// Naming, creating, appending to, switching between and deleting the work files.
#include "compile/work_files.h"

#include <new>

#include "compile/messages.h"

namespace ucac2 {
namespace {

[[noreturn]] void WorkFileOpenFailure();

WorkFileSet g_hour_files;
WorkFileSet g_band_files;

void TakePending(WorkFileSet& set) {
  if (set.pending) return;
  set.pending.reset(new (std::nothrow) std::uint8_t[kMaxWorkFiles * kPendingSize]);
  if (!set.pending) Fatal("Unable to take storage for the work files");
}

}  // namespace

WorkFileSet& HourFiles() { return g_hour_files; }
WorkFileSet& BandFiles() { return g_band_files; }

void NameHourFiles(WorkFileSet& set) {
  set.file_count = kHourZones;
  for (int h = 0; h < kHourZones; ++h) {
    FormatInto(set.names[h], kWorkNameSize, ".%cTMPA%03d", kPathSeparator, h);
  }
}

void NameBandFiles(WorkFileSet& set, int hour) {
  set.file_count = kBands;
  for (int b = 0; b < kBands; ++b) {
    FormatInto(set.names[b], kWorkNameSize, ".%cTMPB%03d%02d", kPathSeparator, hour, b);
  }
}

void CreateAll(WorkFileSet& set) {
  TakePending(set);
  for (int i = 0; i < set.file_count; ++i) {
    if (!CreateEmptyFile(set.names[i], Links::kRefuse)) Fatal("Unable to open a temporary file");
  }
}

namespace {

void WorkFileOpenFailure() { Fatal("Internal error #4 - unable to open a temporary file"); }

}  // namespace

File OpenWorkFileForReading(const WorkFileSet& set, int index) {
  File file = OpenForReading(set.names[index]);
  if (!file.is_open()) WorkFileOpenFailure();
  return file;
}

void FlushWorkFile(WorkFileSet& set, int index) {
  std::size_t& held = set.pending_bytes[index];
  if (held == 0) return;
  if (index != set.current_index) {
    set.open_file.Close();
    set.current_index = -1;
    set.open_file = OpenForAppending(set.names[index], Links::kRefuse);
    if (!set.open_file.is_open()) WorkFileOpenFailure();
    set.current_index = index;
  }
  const std::size_t size = held;
  // Cleared first: if the write fails, the fatal error's own flush must not repeat it.
  held = 0;
  if (!WriteBytes(set.open_file, set.pending.get() + static_cast<std::size_t>(index) * kPendingSize,
                  size)) {
    WriteFailure();
  }
}

void FlushSet(WorkFileSet& set) {
  // The open file first, so a set that stays on one file needs no reopening.
  if (set.current_index >= 0) FlushWorkFile(set, set.current_index);
  for (int i = 0; i < set.file_count; ++i) FlushWorkFile(set, i);
}

void CloseSet(WorkFileSet& set) {
  FlushSet(set);
  set.open_file.Close();
  set.current_index = -1;
}

void DiscardSet(WorkFileSet& set) {
  for (auto& held : set.pending_bytes) held = 0;
  set.open_file.Close();
  set.current_index = -1;
}

std::uint8_t* IdleBuffer(WorkFileSet& set, std::size_t* size) {
  *size = set.pending ? kMaxWorkFiles * kPendingSize : 0;
  return set.pending.get();
}

void DeleteAll(WorkFileSet& set) {
  for (int i = 0; i < set.file_count; ++i) RemoveFile(set.names[i]);
}

void FlushWorkFiles() {
  FlushSet(g_hour_files);
  FlushSet(g_band_files);
}

}  // namespace ucac2
