#pragma once

// Outlook's automation objects, as far as the program uses them. Callers see only
// these interfaces; CreateOutlookApplication decides what stands behind them.
// Every operation may throw Failure with the number and description Outlook (or
// whatever stands in for it) gave.

#include <cstdint>
#include <memory>
#include <string>

#include "platform/failure.h"

namespace tessaly::outlook {

// DefaultItemType of a folder that holds contacts.
inline constexpr int32_t olContactItem = 2;

// Numbers of the failures raised through these interfaces.
namespace err {
inline constexpr int32_t kInvalidArgument = 5;
inline constexpr int32_t kTypeMismatch = 13;
inline constexpr int32_t kCannotCreateObject = 429;
// MAPI_E_NOT_FOUND (0x8004010F) as a signed 32-bit number, as Outlook reports it.
inline constexpr int32_t kNotFound = -2147221233;
}  // namespace err

class MAPIFolder {
 public:
  virtual ~MAPIFolder() = default;
  // Items.Count.
  virtual int32_t ItemsCount() const = 0;
  virtual std::string Name() const = 0;  // UTF-8
  virtual int32_t DefaultItemType() const = 0;
};

// A collection of folders, numbered from 1.
class Folders {
 public:
  virtual ~Folders() = default;
  virtual int32_t Count() const = 0;
  // 1 <= index <= Count().
  virtual std::shared_ptr<MAPIFolder> Item(int32_t index) const = 0;
};

class NameSpace {
 public:
  virtual ~NameSpace() = default;
  // Looks in the default store only. Throws Failure (err::kNotFound) when no
  // folder there has this entry identifier.
  virtual std::shared_ptr<MAPIFolder> GetFolderFromID(const std::string& entryID) = 0;
  // The top-level folders, one per store, in the stores' order.
  virtual std::shared_ptr<outlook::Folders> Folders() = 0;
};

class Application {
 public:
  virtual ~Application() = default;
  // Only "MAPI" is offered.
  virtual std::shared_ptr<NameSpace> GetNamespace(const std::string& type) = 0;
};

// Outlook cannot be had; `why` says what stood in the way.
Failure Unavailable(const std::string& why);

// The folder store named by TESSALY_OUTLOOK_STORE when that is set; otherwise, on
// Windows, the Outlook installed. Throws Failure (err::kCannotCreateObject) when
// neither is available.
std::shared_ptr<Application> CreateOutlookApplication();

}  // namespace tessaly::outlook
