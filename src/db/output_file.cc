// Outputs written beside their name and moved into place.
#include "db/output_file.h"

namespace ucac2 {
namespace {

// New files tried beside one output: as many writers of it as may run at once.
constexpr int kPartAttempts = 100;

}  // namespace

bool CheckOutput(const std::string& path, const std::vector<std::string>& inputs,
                 Findings& findings) {
  const char* name = path.c_str();
  // Refused in so many words: replacing the link, or the file behind it, would surprise
  // either way.
  if (IsSymbolicLink(name)) {
    Report(findings, name, "a symbolic link: map does not write through links");
    return false;
  }
  std::int64_t size = 0;
  const PathKind kind = QueryPathKind(name, &size);
  if (kind == PathKind::kOther) {
    Report(findings, name, "not a regular file");
    return false;
  }
  FileIdentity output;
  if (kind != PathKind::kRegularFile || !QueryFileIdentity(name, &output)) return true;
  for (const std::string& input : inputs) {
    FileIdentity identity;
    if (QueryFileIdentity(input.c_str(), &identity) && identity == output) {
      Report(findings, name, "is %s, a file the map is drawn from; left as it is", input.c_str());
      return false;
    }
  }
  return true;
}

bool StartOutput(const std::string& path, OutputFile& out, Findings& findings) {
  out.path = path;
  for (int n = 1; n <= kPartAttempts && !out.file.is_open(); ++n) {
    out.part_path = path + ".part" + std::to_string(n);
    out.file = CreateNewFile(out.part_path.c_str());
  }
  if (!out.file.is_open()) {
    Report(findings, path.c_str(), "cannot be created");
    return false;
  }
  return true;
}

bool FinishOutput(OutputFile& out, Findings& findings) {
  out.file.Close();
  if (!ReplaceFile(out.part_path.c_str(), out.path.c_str())) {
    RemoveFile(out.part_path.c_str());
    Report(findings, out.path.c_str(), "cannot be created");
    return false;
  }
  return true;
}

void AbandonOutput(OutputFile& out) {
  out.file.Close();
  RemoveFile(out.part_path.c_str());
}

}  // namespace ucac2
