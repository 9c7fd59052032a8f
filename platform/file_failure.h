#pragma once

// System errors of file operations as failures the user can act on.

#include <cstdint>
#include <string>

#include "platform/failure.h"
#include "platform/file.h"

namespace tessaly {

// The run time's number for the system error `errnum` and a description that names
// `path`. A missing entry is `notFound` (a missing file, or a missing folder).
Failure FileFailure(int errnum, const std::string& path, int32_t notFound = err::kFileNotFound);

// What is at a path that is not a regular file, as messages name it: "a FIFO".
std::string FileKindText(FileKind kind);

// The refusal of what a regular file was asked for: "Err 75 Path/File access error
// (not a regular file: a FIFO): PATH".
Failure NotRegularFileFailure(FileKind kind, const std::string& path);

// The system's own words for `errnum`, for failures that keep a number of their own.
std::string SystemErrorText(int errnum);

}  // namespace tessaly
