// Joining paths.
#include "base/paths.h"

#include "base/file.h"

namespace ucac2 {

std::string JoinPath(const std::string& folder, const char* name) {
  if (folder == ".") return name;
  std::string path = folder;
  if (!path.empty() && path.back() != kPathSeparator && path.back() != '/') path += kPathSeparator;
  return path + name;
}

}  // namespace ucac2
