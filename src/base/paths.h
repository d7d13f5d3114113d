// The one way a folder and a file name are joined, so that every message names a file alike.
#pragma once

#include <string>

namespace ucac2 {

/// `name` in `folder`, joined by the platform's separator unless the folder ends in one; in
/// the current folder "." the bare name, as the user would type it there.
std::string JoinPath(const std::string& folder, const char* name);

}  // namespace ucac2
