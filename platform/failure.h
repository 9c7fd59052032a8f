#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace tessaly {

// A failure as the user sees it: a signed number and a description. Raised inside a
// procedure and caught once, at its end, where it is reported.
class Failure : public std::runtime_error {
 public:
  Failure(int32_t number, const std::string& description)
      : std::runtime_error(description), number_(number) {}

  int32_t Number() const { return number_; }
  std::string Description() const { return what(); }

 private:
  int32_t number_;
};

// Numbers of the failures raised by the run time itself (not by the database engine).
namespace err {
inline constexpr int32_t kOutOfMemory = 7;
inline constexpr int32_t kSubscriptOutOfRange = 9;
inline constexpr int32_t kFileNotFound = 53;
inline constexpr int32_t kBadFileMode = 54;
inline constexpr int32_t kInputPastEnd = 62;
inline constexpr int32_t kBadFileNameOrNumber = 52;
inline constexpr int32_t kPermissionDenied = 70;
inline constexpr int32_t kPathFileAccess = 75;
inline constexpr int32_t kPathNotFound = 76;
inline constexpr int32_t kDiskFull = 61;
inline constexpr int32_t kDeviceIo = 57;
inline constexpr int32_t kLineTooLong = 63;
inline constexpr int32_t kObjectNotSet = 91;
}  // namespace err

// The run time's failure for an object that is not there yet; `which` says what.
inline Failure ObjectNotSet(const std::string& which) {
  return Failure(err::kObjectNotSet, "Object variable or With block variable not set (" + which + ")");
}

}  // namespace tessaly
