#pragma once

// Numbers of the failures the database engine raises (descriptions are its own);
// every storage layer may use them without the engine's object model.

#include <cstdint>

namespace tessaly::dao {

namespace err {
inline constexpr int32_t kNoCurrentRecord = 3021;
inline constexpr int32_t kFieldTooSmall = 3163;
inline constexpr int32_t kDatabaseExists = 3204;
inline constexpr int32_t kZeroLengthNotAllowed = 3315;
inline constexpr int32_t kTypeConversion = 3421;
inline constexpr int32_t kObjectClosed = 3420;
inline constexpr int32_t kItemNotFound = 3265;
inline constexpr int32_t kInvalidArgument = 3001;
inline constexpr int32_t kRecordTooLarge = 3047;
inline constexpr int32_t kDatabaseFull = 3741;
inline constexpr int32_t kDiskIo = 3043;
inline constexpr int32_t kCannotOpenFile = 3051;
inline constexpr int32_t kUpdateWithoutAddNew = 3020;
inline constexpr int32_t kDuplicateName = 3010;
}  // namespace err

}  // namespace tessaly::dao
