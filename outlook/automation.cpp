#include "outlook/automation.h"

#include <oleauto.h>

#include <cstdio>
#include <initializer_list>
#include <utility>
#include <vector>

namespace tessaly::outlook {

namespace {

// The system's text for `result`, without its line end.
std::string SystemText(HRESULT result) {
  wchar_t* buffer = nullptr;
  const DWORD length = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, static_cast<DWORD>(result), 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  std::wstring text(buffer ? buffer : L"", length);
  LocalFree(buffer);
  while (!text.empty() && (text.back() == L'\r' || text.back() == L'\n' || text.back() == L' ')) {
    text.pop_back();
  }
  if (!text.empty()) return win32::Utf8(text);
  char fallback[40];
  std::snprintf(fallback, sizeof fallback, "Automation error 0x%08lX",
                static_cast<unsigned long>(result));
  return fallback;
}

std::string Text(BSTR text) {
  return text ? win32::Utf8(std::wstring(text, SysStringLen(text))) : std::string();
}

// A VARIANT that clears itself.
class Variant {
 public:
  Variant() { VariantInit(&value_); }
  explicit Variant(int32_t number) : Variant() {
    value_.vt = VT_I4;
    value_.lVal = number;
  }
  explicit Variant(const std::string& text) : Variant() {
    const std::wstring wide = win32::Wide(text);
    value_.bstrVal = SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
    if (!value_.bstrVal) throw Failure(tessaly::err::kOutOfMemory, "Out of memory");
    value_.vt = VT_BSTR;
  }
  ~Variant() { VariantClear(&value_); }
  Variant(Variant&& other) noexcept : value_(other.value_) { VariantInit(&other.value_); }
  Variant(const Variant&) = delete;
  Variant& operator=(const Variant&) = delete;

  VARIANT* get() { return &value_; }

 private:
  VARIANT value_;
};

[[noreturn]] void Mismatch(const wchar_t* member) {
  throw Failure(err::kTypeMismatch, "Type mismatch: " + win32::Utf8(member) +
                                        " did not give what Outlook's object model promises.");
}

// One reference to an automation object, and its members by name.
class Dispatch {
 public:
  explicit Dispatch(IDispatch* adopted) : object_(adopted) {}
  ~Dispatch() {
    if (object_) object_->Release();
  }
  Dispatch(Dispatch&& other) noexcept : object_(std::exchange(other.object_, nullptr)) {}
  Dispatch(const Dispatch&) = delete;
  Dispatch& operator=(const Dispatch&) = delete;

  Variant Call(const wchar_t* member, std::initializer_list<Variant*> arguments) const {
    return Invoke(member, DISPATCH_METHOD, arguments);
  }
  Variant Get(const wchar_t* member) const { return Invoke(member, DISPATCH_PROPERTYGET, {}); }

  Dispatch Object(const wchar_t* member, Variant&& value) const {
    VARIANT* v = value.get();
    IDispatch* object = nullptr;
    if (v->vt == VT_DISPATCH && v->pdispVal) {
      object = v->pdispVal;
      object->AddRef();
    } else if (v->vt == VT_UNKNOWN && v->punkVal) {
      if (FAILED(v->punkVal->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&object)))) {
        Mismatch(member);
      }
    } else if (v->vt == VT_DISPATCH || v->vt == VT_UNKNOWN || v->vt == VT_EMPTY) {
      throw ObjectNotSet(win32::Utf8(member) + " gave no object");
    } else {
      Mismatch(member);
    }
    return Dispatch(object);
  }
  static int32_t Int32(const wchar_t* member, Variant&& value) {
    if (FAILED(VariantChangeType(value.get(), value.get(), 0, VT_I4))) Mismatch(member);
    return value.get()->lVal;
  }
  static std::string String(const wchar_t* member, Variant&& value) {
    if (FAILED(VariantChangeType(value.get(), value.get(), 0, VT_BSTR))) Mismatch(member);
    return Text(value.get()->bstrVal);
  }

 private:
  Variant Invoke(const wchar_t* member, WORD flags,
                 std::initializer_list<Variant*> arguments) const {
    DISPID id = DISPID_UNKNOWN;
    auto* name = const_cast<LPOLESTR>(member);
    if (const HRESULT result = object_->GetIDsOfNames(IID_NULL, &name, 1, LOCALE_USER_DEFAULT, &id);
        FAILED(result)) {
      throw AutomationFailure(result, nullptr);
    }
    // Automation takes the arguments last first.
    std::vector<VARIANTARG> reversed;
    for (auto it = std::rbegin(arguments); it != std::rend(arguments); ++it) {
      reversed.push_back(*(*it)->get());
    }
    DISPPARAMS parameters{reversed.data(), nullptr, static_cast<UINT>(reversed.size()), 0};
    Variant answer;
    EXCEPINFO exception{};
    UINT wrongArgument = 0;
    if (const HRESULT result =
            object_->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &parameters, answer.get(),
                            &exception, &wrongArgument);
        FAILED(result)) {
      throw AutomationFailure(result, &exception);
    }
    return answer;
  }

  IDispatch* object_;
};

class AutomationFolder : public MAPIFolder {
 public:
  explicit AutomationFolder(Dispatch folder) : folder_(std::move(folder)) {}
  int32_t ItemsCount() const override {
    const Dispatch items = folder_.Object(L"Items", folder_.Get(L"Items"));
    return Dispatch::Int32(L"Count", items.Get(L"Count"));
  }
  std::string Name() const override { return Dispatch::String(L"Name", folder_.Get(L"Name")); }
  int32_t DefaultItemType() const override {
    return Dispatch::Int32(L"DefaultItemType", folder_.Get(L"DefaultItemType"));
  }

 private:
  Dispatch folder_;
};

class AutomationFolders : public Folders {
 public:
  explicit AutomationFolders(Dispatch folders) : folders_(std::move(folders)) {}
  int32_t Count() const override { return Dispatch::Int32(L"Count", folders_.Get(L"Count")); }
  std::shared_ptr<MAPIFolder> Item(int32_t index) const override {
    Variant number(index);
    return std::make_shared<AutomationFolder>(
        folders_.Object(L"Item", folders_.Call(L"Item", {&number})));
  }

 private:
  Dispatch folders_;
};

class AutomationNameSpace : public NameSpace {
 public:
  explicit AutomationNameSpace(Dispatch ns) : ns_(std::move(ns)) {}
  std::shared_ptr<MAPIFolder> GetFolderFromID(const std::string& entryID) override {
    // The store's identifier is left out: the default store.
    Variant id(entryID);
    return std::make_shared<AutomationFolder>(
        ns_.Object(L"GetFolderFromID", ns_.Call(L"GetFolderFromID", {&id})));
  }
  std::shared_ptr<outlook::Folders> Folders() override {
    return std::make_shared<AutomationFolders>(ns_.Object(L"Folders", ns_.Get(L"Folders")));
  }

 private:
  Dispatch ns_;
};

class AutomationApplication : public Application {
 public:
  explicit AutomationApplication(Dispatch app) : app_(std::move(app)) {}
  std::shared_ptr<NameSpace> GetNamespace(const std::string& type) override {
    Variant name(type);
    return std::make_shared<AutomationNameSpace>(
        app_.Object(L"GetNamespace", app_.Call(L"GetNamespace", {&name})));
  }

 private:
  Dispatch app_;
};

}  // namespace

Failure AutomationFailure(HRESULT result, EXCEPINFO* exception) {
  if (result != DISP_E_EXCEPTION || !exception) {
    return Failure(static_cast<int32_t>(result), SystemText(result));
  }
  if (exception->pfnDeferredFillIn) exception->pfnDeferredFillIn(exception);
  int32_t number = exception->scode != 0 ? static_cast<int32_t>(exception->scode)
                                         : static_cast<int32_t>(exception->wCode);
  if (number == 0) number = static_cast<int32_t>(result);
  std::string description = Text(exception->bstrDescription);
  SysFreeString(exception->bstrSource);
  SysFreeString(exception->bstrDescription);
  SysFreeString(exception->bstrHelpFile);
  exception->bstrSource = exception->bstrDescription = exception->bstrHelpFile = nullptr;
  if (description.empty()) description = SystemText(static_cast<HRESULT>(number));
  return Failure(number, description);
}

std::shared_ptr<Application> CreateAutomationApplication(const wchar_t* progID) {
  const std::string name = "\"" + win32::Utf8(progID) + "\"";
  CLSID id{};
  if (FAILED(CLSIDFromProgID(progID, &id))) {
    throw Unavailable(name + " is not registered on this computer");
  }
  IDispatch* app = nullptr;
  if (const HRESULT result =
          CoCreateInstance(id, nullptr, CLSCTX_LOCAL_SERVER | CLSCTX_INPROC_SERVER, IID_IDispatch,
                           reinterpret_cast<void**>(&app));
      FAILED(result)) {
    throw Unavailable(name + " cannot be started: " + SystemText(result));
  }
  return std::make_shared<AutomationApplication>(Dispatch(app));
}

}  // namespace tessaly::outlook
