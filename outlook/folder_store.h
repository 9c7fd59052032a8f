#pragma once

// The folder store that takes Outlook's place: a JSON file named by the
// environment variable TESSALY_OUTLOOK_STORE.
//
//   {
//     "stores": [                  one entry per information store, in order;
//       { "root": FOLDER }         the first store is the default store
//     ]
//   }
//   FOLDER:
//   {
//     "entryId": "00000000A1B2...", non-empty text, unique within its store
//     "name": "Contacts",           display name (any text)
//     "defaultItemType": 2,         32-bit integer: 0 mail, 1 appointment,
//                                   2 contact, 3 task, 4 journal, 5 note, 6 post
//     "itemCount": 312,             0 to 2147483647
//     "folders": [ FOLDER, ... ]    optional sub-folders
//   }
//
// Every member but "folders" is required; unknown members, duplicate entry
// identifiers within a store, and anything but strict JSON (no byte order mark, no
// member named twice in one object, arrays and objects nested at most 64 deep) make
// the store malformed. The file is read each time an application object is created.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "outlook/outlook.h"
#include "platform/file.h"

namespace tessaly::outlook {

inline constexpr const char* kStoreVariable = "TESSALY_OUTLOOK_STORE";
inline constexpr size_t kMaxStoreBytes = 16u << 20;

struct FolderData {
  std::string EntryID;
  std::string Name;
  int32_t DefaultItemType = 0;
  int32_t ItemCount = 0;
  std::vector<FolderData> Folders;
};

// Roots of the stores, in order. Throws std::invalid_argument with the place and
// the fault when the document is not a well-formed store.
std::vector<FolderData> ParseFolderStore(std::string_view document);

// The text of the store file at `path`. Throws std::runtime_error saying why when
// it cannot be read whole or is larger than kMaxStoreBytes.
std::string ReadFolderStoreFile(const std::string& path, ReadFrom from = ReadFrom::kAnything);

// The folder of `root`'s tree, `root` included, with this entry identifier; null
// when there is none.
const FolderData* FindFolder(const FolderData& root, const std::string& entryID);

// The description of the failure when no folder has this entry identifier.
std::string FolderNotFound(const std::string& entryID);

// An application over the store file at `path`; throws Failure
// (err::kCannotCreateObject) when it cannot be read or is malformed.
std::shared_ptr<Application> OpenFolderStore(const std::string& path);

}  // namespace tessaly::outlook
