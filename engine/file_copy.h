#pragma once

#include <string>

namespace tessaly {

// Copies `from` to `to`, replacing a file there. The copy is written to a new file
// beside `to` and renamed over it only once complete and on disk, so a failure
// (disk full, unwritable folder) never leaves a damaged file at `to`. A read-only
// file at `to` is refused, as a plain copy would be. Throws Failure.
void ReplaceFileWithCopy(const std::string& from, const std::string& to);

}  // namespace tessaly
