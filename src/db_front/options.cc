// The shared option checks.
#include "db_front/options.h"

#include "base/file.h"

namespace ucac2 {

CLI::Validator ExistingFolder() {
  const auto check = [](std::string& path) -> std::string {
    if (IsDirectory(path.c_str())) return {};
    std::int64_t size = 0;
    switch (QueryPathKind(path.c_str(), &size)) {
      case PathKind::kMissing:
        return "Directory does not exist: " + path;
      case PathKind::kRegularFile:
      case PathKind::kOther:
        return "Not a directory: " + path;
      case PathKind::kUnknown:
        break;
    }
    return "Directory cannot be looked at (a name too long, a link loop, or a folder on the way "
           "that may not be searched): " +
           path;
  };
  // No description: the help shows the option's own text, not the check's name.
  return CLI::Validator(check, "");
}

std::int64_t ReadWholeNumber(const char* option, const std::string& text, std::int64_t low,
                             std::int64_t high, const std::string& what) {
  std::int64_t value = 0;
  bool read = !text.empty();
  for (const char c : text) {
    if (c < '0' || c > '9') read = false;
    // Once past `high` the value stops growing, so that no digit can overflow it.
    if (read && value <= high) value = value * 10 + (c - '0');
  }
  if (!read || value < low || value > high) {
    throw CLI::ValidationError(option, "'" + text + "' is not " + what);
  }
  return value;
}

}  // namespace ucac2
