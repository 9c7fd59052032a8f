#include "tests/outlook_standin/standin_objects.h"

#include <mapicode.h>

#include <optional>
#include <string>
#include <utility>

namespace tessaly::standin {

namespace {

using outlook::FolderData;

enum : DISPID {
  kGetNamespace = 1,
  kGetFolderFromID,
  kFolders,
  kCount,
  kName,
  kEntryID,
  kDefaultItemType,
  kItems,
};

constexpr Member kApplicationMembers[] = {
    {L"GetNamespace", kGetNamespace, MemberKind::kMethod, 1, 1},
};
constexpr Member kNameSpaceMembers[] = {
    {L"GetFolderFromID", kGetFolderFromID, MemberKind::kMethod, 1, 2},
    {L"Folders", kFolders, MemberKind::kProperty, 0, 0},
};
constexpr Member kFoldersMembers[] = {
    {L"Item", DISPID_VALUE, MemberKind::kMethod, 1, 1},
    {L"Count", kCount, MemberKind::kProperty, 0, 0},
};
constexpr Member kFolderMembers[] = {
    {L"Name", kName, MemberKind::kProperty, 0, 0},
    {L"EntryID", kEntryID, MemberKind::kProperty, 0, 0},
    {L"DefaultItemType", kDefaultItemType, MemberKind::kProperty, 0, 0},
    {L"Items", kItems, MemberKind::kProperty, 0, 0},
    {L"Folders", kFolders, MemberKind::kProperty, 0, 0},
};
constexpr Member kItemsMembers[] = {
    {L"Count", kCount, MemberKind::kProperty, 0, 0},
};

bool SameIgnoringCase(const std::wstring& a, const std::wstring& b) {
  return CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(),
                              static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

// Nothing for text that is not valid UTF-16: a lone surrogate matches no
// identifier, where a lenient conversion would make it match one with U+FFFD.
std::optional<std::string> ExactUtf8(const std::wstring& wide) {
  if (wide.empty()) return std::string();
  const int size = WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, wide.data(),
                                       static_cast<int>(wide.size()), nullptr, 0, nullptr, nullptr);
  if (size == 0) return std::nullopt;
  std::string utf8(static_cast<size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, wide.data(), static_cast<int>(wide.size()),
                      utf8.data(), size, nullptr, nullptr);
  return utf8;
}

}  // namespace

Application::Application() : DispatchObject(kApplicationMembers) {}

void Application::Call(DISPID, const Arguments& arguments, VARIANT& result) {
  const std::wstring type = arguments.Text(0);
  if (!SameIgnoringCase(type, L"MAPI")) {
    throw AutomationError{E_INVALIDARG, "The namespace type \"" + win32::Utf8(type) +
                                            "\" is not supported; the only type is \"MAPI\"."};
  }
  SetObject(result, new NameSpace(LogOn()));
}

NameSpace::NameSpace(Stores stores)
    : DispatchObject(kNameSpaceMembers), stores_(std::move(stores)) {}

void NameSpace::Call(DISPID id, const Arguments& arguments, VARIANT& result) {
  if (id == kFolders) {
    SetObject(result, new Folders(stores_));
    return;
  }
  const std::wstring entryID = arguments.Text(0);
  const FolderData* store = stores_->empty() ? nullptr : &stores_->front();
  if (arguments.Given(1)) {
    const std::optional<std::string> storeID = ExactUtf8(arguments.Text(1));
    store = nullptr;
    for (const FolderData& root : *stores_) {
      if (storeID && root.EntryID == *storeID) store = &root;
    }
  }
  const std::optional<std::string> wanted = ExactUtf8(entryID);
  const FolderData* found = nullptr;
  if (store != nullptr && wanted && !wanted->empty()) found = outlook::FindFolder(*store, *wanted);
  if (found == nullptr) {
    throw AutomationError{MAPI_E_NOT_FOUND, outlook::FolderNotFound(win32::Utf8(entryID))};
  }
  SetObject(result, new MAPIFolder(std::shared_ptr<const FolderData>(stores_, found)));
}

Folders::Folders(std::shared_ptr<const std::vector<FolderData>> folders)
    : DispatchObject(kFoldersMembers), folders_(std::move(folders)) {}

void Folders::Call(DISPID id, const Arguments& arguments, VARIANT& result) {
  if (id == kCount) {
    SetInteger(result, static_cast<int32_t>(folders_->size()));
    return;
  }
  SetObject(result, new MAPIFolder(std::shared_ptr<const FolderData>(folders_, &Item(arguments))));
}

const FolderData& Folders::Item(const Arguments& arguments) const {
  // As in Outlook, text names a folder; text that names none may still be a number.
  int32_t index = 0;
  if (arguments.Type(0) == VT_BSTR) {
    const std::wstring name = arguments.Text(0);
    for (const FolderData& folder : *folders_) {
      if (SameIgnoringCase(win32::Wide(folder.Name), name)) return folder;
    }
    if (!arguments.TryInteger(0, index)) {
      throw AutomationError{MAPI_E_NOT_FOUND,
                            "No folder named \"" + win32::Utf8(name) + "\" is in the collection."};
    }
  } else {
    index = arguments.Integer(0);
  }
  if (index < 1 || static_cast<size_t>(index) > folders_->size()) {
    throw AutomationError{DISP_E_BADINDEX, "The index " + std::to_string(index) +
                                               " is outside the collection, which holds " +
                                               std::to_string(folders_->size()) + " folders."};
  }
  return (*folders_)[static_cast<size_t>(index) - 1];
}

MAPIFolder::MAPIFolder(std::shared_ptr<const FolderData> folder)
    : DispatchObject(kFolderMembers), folder_(std::move(folder)) {}

void MAPIFolder::Call(DISPID id, const Arguments&, VARIANT& result) {
  switch (id) {
    case kName:
      SetText(result, folder_->Name);
      break;
    case kEntryID:
      SetText(result, folder_->EntryID);
      break;
    case kDefaultItemType:
      SetInteger(result, folder_->DefaultItemType);
      break;
    case kItems:
      SetObject(result, new Items(folder_));
      break;
    default:
      SetObject(result, new Folders(std::shared_ptr<const std::vector<FolderData>>(
                            folder_, &folder_->Folders)));
      break;
  }
}

Items::Items(std::shared_ptr<const FolderData> folder)
    : DispatchObject(kItemsMembers), folder_(std::move(folder)) {}

void Items::Call(DISPID, const Arguments&, VARIANT& result) {
  SetInteger(result, folder_->ItemCount);
}

}  // namespace tessaly::standin
