// Whether the owner of a file has made it read-only. A file is replaced by a rename, which
// needs only the folder to be writable, so without this check a file set read-only on
// purpose would be replaced all the same.
#pragma once

#include <string>

namespace treadle {

// Why the regular file at `path` may not be replaced ("it is read-only (r--r--r--)"); empty
// when it may, or when nothing or something other than a regular file is there (the writer
// says what is wrong with those).
[[nodiscard]] std::string ReadOnlyReason(const std::string& path);

}  // namespace treadle
