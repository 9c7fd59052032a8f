#include "tests/outlook_standin/dispatch_object.h"

#include <new>

namespace tessaly::standin {

namespace {

std::atomic<LONG> liveObjects{0};

constexpr const wchar_t* kSource = L"Outlook stand-in";

// A by-reference VARIANT stands for the one it points to.
const VARIANT& Referenced(const VARIANT& value) {
  if (V_VT(&value) == (VT_BYREF | VT_VARIANT) && V_VARIANTREF(&value) != nullptr) {
    return *V_VARIANTREF(&value);
  }
  return value;
}

void FillException(EXCEPINFO* exception, const AutomationError& error) {
  if (exception == nullptr) return;
  *exception = EXCEPINFO{};
  exception->scode = error.scode;
  exception->bstrSource = SysAllocString(kSource);
  try {
    const std::wstring description = win32::Wide(error.description);
    exception->bstrDescription =
        SysAllocStringLen(description.data(), static_cast<UINT>(description.size()));
  } catch (const std::bad_alloc&) {
    // The code alone still tells the caller what failed.
  }
}

}  // namespace

const VARIANT& Arguments::At(unsigned index) const {
  return Referenced(params_.rgvarg[params_.cArgs - 1 - index]);
}

VARTYPE Arguments::Type(unsigned index) const {
  return static_cast<VARTYPE>(V_VT(&At(index)) & ~VT_BYREF);
}

bool Arguments::Given(unsigned index) const {
  if (index >= Count()) return false;
  const VARIANT& value = At(index);
  if (V_VT(&value) == VT_ERROR) return V_ERROR(&value) != DISP_E_PARAMNOTFOUND;
  if (V_VT(&value) == (VT_BYREF | VT_ERROR)) {
    return V_ERRORREF(&value) == nullptr || *V_ERRORREF(&value) != DISP_E_PARAMNOTFOUND;
  }
  return true;
}

HRESULT Arguments::Convert(unsigned index, VARTYPE type, VARIANT* out) const {
  const VARIANT& value = At(index);
  // A null reference would be read through by the conversion.
  if (V_ISBYREF(&value) && V_BYREF(&value) == nullptr) return DISP_E_TYPEMISMATCH;
  VARIANT direct;
  VariantInit(&direct);
  // VariantCopyInd only reads its source, whatever its declaration says.
  HRESULT hr = VariantCopyInd(&direct, const_cast<VARIANT*>(&value));
  if (SUCCEEDED(hr)) hr = VariantChangeType(out, &direct, 0, type);
  VariantClear(&direct);
  if (hr == E_OUTOFMEMORY) throw std::bad_alloc();
  return hr;
}

std::wstring Arguments::Text(unsigned index) const {
  VARIANT text;
  VariantInit(&text);
  if (FAILED(Convert(index, VT_BSTR, &text))) {
    VariantClear(&text);
    throw ArgumentMismatch{index, DISP_E_TYPEMISMATCH};
  }
  // A BSTR may hold zero characters anywhere: its length counts, not a terminator.
  std::wstring result(V_BSTR(&text), SysStringLen(V_BSTR(&text)));
  VariantClear(&text);
  return result;
}

bool Arguments::TryInteger(unsigned index, int32_t& value) const {
  VARIANT number;
  VariantInit(&number);
  const bool converted = SUCCEEDED(Convert(index, VT_I4, &number));
  if (converted) value = V_I4(&number);
  VariantClear(&number);
  return converted;
}

int32_t Arguments::Integer(unsigned index) const {
  int32_t value = 0;
  if (!TryInteger(index, value)) throw ArgumentMismatch{index, DISP_E_TYPEMISMATCH};
  return value;
}

void SetText(VARIANT& result, const std::string& utf8) {
  const std::wstring wide = win32::Wide(utf8);
  BSTR text = SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
  if (text == nullptr) throw std::bad_alloc();
  V_VT(&result) = VT_BSTR;
  V_BSTR(&result) = text;
}

void SetInteger(VARIANT& result, int32_t value) {
  V_VT(&result) = VT_I4;
  V_I4(&result) = value;
}

void SetObject(VARIANT& result, IDispatch* object) {
  V_VT(&result) = VT_DISPATCH;
  V_DISPATCH(&result) = object;
}

LONG LiveDispatchObjects() {
  return liveObjects.load();
}

DispatchObject::DispatchObject(std::span<const Member> members) : members_(members) {
  ++liveObjects;
}

DispatchObject::~DispatchObject() {
  --liveObjects;
}

HRESULT DispatchObject::QueryInterface(REFIID riid, void** object) {
  if (object == nullptr) return E_POINTER;
  if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDispatch)) {
    *object = static_cast<IDispatch*>(this);
    AddRef();
    return S_OK;
  }
  *object = nullptr;
  return E_NOINTERFACE;
}

ULONG DispatchObject::AddRef() {
  return ++references_;
}

ULONG DispatchObject::Release() {
  const ULONG left = --references_;
  if (left == 0) delete this;
  return left;
}

HRESULT DispatchObject::GetTypeInfoCount(UINT* count) {
  if (count == nullptr) return E_POINTER;
  *count = 0;
  return S_OK;
}

HRESULT DispatchObject::GetTypeInfo(UINT, LCID, ITypeInfo** info) {
  if (info == nullptr) return E_POINTER;
  *info = nullptr;
  return DISP_E_BADINDEX;
}

HRESULT DispatchObject::GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
  if (!IsEqualIID(riid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
  if (count == 0) return S_OK;
  if (names == nullptr || ids == nullptr) return E_INVALIDARG;
  for (UINT i = 0; i < count; ++i) ids[i] = DISPID_UNKNOWN;
  if (names[0] == nullptr) return DISP_E_UNKNOWNNAME;
  for (const Member& member : members_) {
    if (CompareStringOrdinal(names[0], -1, member.name, -1, TRUE) == CSTR_EQUAL) {
      ids[0] = member.id;
      // The other names would be of parameters, and none is known by name.
      return count == 1 ? S_OK : DISP_E_UNKNOWNNAME;
    }
  }
  return DISP_E_UNKNOWNNAME;
}

const Member* DispatchObject::Find(DISPID id) const {
  for (const Member& member : members_) {
    if (member.id == id) return &member;
  }
  return nullptr;
}

HRESULT DispatchObject::Invoke(DISPID id, REFIID riid, LCID, WORD flags, DISPPARAMS* params,
                               VARIANT* result, EXCEPINFO* exception, UINT* argumentError) {
  if (!IsEqualIID(riid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
  const Member* member = Find(id);
  if (member == nullptr) return DISP_E_MEMBERNOTFOUND;
  // Visual Basic sends both bits when it cannot tell a method from a property.
  const WORD needed = member->kind == MemberKind::kMethod ? DISPATCH_METHOD : DISPATCH_PROPERTYGET;
  if ((flags & needed) == 0 || (flags & ~(DISPATCH_METHOD | DISPATCH_PROPERTYGET)) != 0) {
    return DISP_E_MEMBERNOTFOUND;
  }
  if (params == nullptr) return E_INVALIDARG;
  if (params->cNamedArgs != 0) return DISP_E_NONAMEDARGS;
  if (params->cArgs != 0 && params->rgvarg == nullptr) return E_INVALIDARG;
  if (member->kind == MemberKind::kProperty && params->cArgs > member->maxArguments) {
    return CallDefaultMember(id, flags, params, result, exception, argumentError);
  }
  if (params->cArgs < member->minArguments || params->cArgs > member->maxArguments) {
    return DISP_E_BADPARAMCOUNT;
  }
  try {
    VARIANT value;
    VariantInit(&value);
    try {
      Call(id, Arguments(*params), value);
    } catch (...) {
      VariantClear(&value);
      throw;
    }
    // The caller's variant is written only on success; without one the value goes.
    if (result != nullptr) {
      *result = value;
    } else {
      VariantClear(&value);
    }
    return S_OK;
  } catch (const AutomationError& error) {
    FillException(exception, error);
    return DISP_E_EXCEPTION;
  } catch (const ArgumentMismatch& mismatch) {
    if (argumentError != nullptr) *argumentError = params->cArgs - 1 - mismatch.index;
    return mismatch.code;
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  } catch (...) {
    // Nothing may leave through a COM call.
    return E_UNEXPECTED;
  }
}

HRESULT DispatchObject::CallDefaultMember(DISPID id, WORD flags, DISPPARAMS* params,
                                          VARIANT* result, EXCEPINFO* exception,
                                          UINT* argumentError) {
  DISPPARAMS none{};
  VARIANT object;
  VariantInit(&object);
  const HRESULT got = Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none,
                             &object, exception, argumentError);
  if (FAILED(got)) return got;
  if (V_VT(&object) != VT_DISPATCH || V_DISPATCH(&object) == nullptr) {
    VariantClear(&object);
    return DISP_E_BADPARAMCOUNT;
  }
  HRESULT hr = V_DISPATCH(&object)->Invoke(DISPID_VALUE, IID_NULL, LOCALE_USER_DEFAULT, flags,
                                           params, result, exception, argumentError);
  // An object without a default member takes no arguments at all.
  if (hr == DISP_E_MEMBERNOTFOUND) hr = DISP_E_BADPARAMCOUNT;
  VariantClear(&object);
  return hr;
}

}  // namespace tessaly::standin
