#pragma once

#include <optional>
#include <string>

#include "platform/file.h"

namespace tessaly {

// Copies `from` to `to`, replacing a file there. The copy is written to a file
// beside `to` that has no name until it is complete and on disk, then renamed over
// `to`, so a failure (disk full, unwritable folder) or a kill never leaves a damaged
// file at `to`; copies left by processes that no longer run are removed. Only a
// regular file is replaced: a read-only one, a folder, a device, a FIFO or a socket
// at `to` is refused. A symbolic link at `to` is followed. When `source` is given,
// `from` must still be that file. Throws Failure.
void ReplaceFileWithCopy(const std::string& from, const std::string& to,
                         std::optional<FileIdentity> source = std::nullopt);

}  // namespace tessaly
