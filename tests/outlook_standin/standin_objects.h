#pragma once

// Outlook's automation objects as far as the program reaches them, over the
// folders of one logon:
//
//   Application.GetNamespace("MAPI")            -> NameSpace (logs on)
//   NameSpace.GetFolderFromID(entry[, store])   -> MAPIFolder
//   NameSpace.Folders                           -> Folders (a root per store)
//   Folders.Count, Folders.Item(index or name)  -> MAPIFolder (Item is the default)
//   MAPIFolder.Name, .EntryID, .DefaultItemType, .Items, .Folders
//   Items.Count
//
// Every object holds what it shows, so each stays usable after the others are gone.

#include <memory>
#include <vector>

#include "tests/outlook_standin/dispatch_object.h"
#include "tests/outlook_standin/standin_store.h"

namespace tessaly::standin {

class Application final : public DispatchObject {
 public:
  Application();

 private:
  void Call(DISPID id, const Arguments& arguments, VARIANT& result) override;
};

class NameSpace final : public DispatchObject {
 public:
  explicit NameSpace(Stores stores);

 private:
  void Call(DISPID id, const Arguments& arguments, VARIANT& result) override;

  Stores stores_;
};

class Folders final : public DispatchObject {
 public:
  // Shares ownership of the store that holds `folders`.
  explicit Folders(std::shared_ptr<const std::vector<outlook::FolderData>> folders);

 private:
  void Call(DISPID id, const Arguments& arguments, VARIANT& result) override;
  const outlook::FolderData& Item(const Arguments& arguments) const;

  std::shared_ptr<const std::vector<outlook::FolderData>> folders_;
};

class MAPIFolder final : public DispatchObject {
 public:
  explicit MAPIFolder(std::shared_ptr<const outlook::FolderData> folder);

 private:
  void Call(DISPID id, const Arguments& arguments, VARIANT& result) override;

  std::shared_ptr<const outlook::FolderData> folder_;
};

class Items final : public DispatchObject {
 public:
  explicit Items(std::shared_ptr<const outlook::FolderData> folder);

 private:
  void Call(DISPID id, const Arguments& arguments, VARIANT& result) override;

  std::shared_ptr<const outlook::FolderData> folder_;
};

}  // namespace tessaly::standin
