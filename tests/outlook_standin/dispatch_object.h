#pragma once

// An automation object without a type library: members are found by name in a
// fixed table, and Invoke checks the call against that table once, so that each
// object only does its own work in Call.

#include <oaidl.h>

#include <atomic>
#include <cstdint>
#include <span>
#include <string>

#include "platform/win32.h"

namespace tessaly::standin {

// The caller sees DISP_E_EXCEPTION with this code and description (UTF-8).
struct AutomationError {
  HRESULT scode;
  std::string description;
};

enum class MemberKind { kMethod, kProperty };

struct Member {
  const wchar_t* name;  // compared without regard to case
  DISPID id;
  MemberKind kind;
  unsigned minArguments;
  unsigned maxArguments;
};

// The arguments of one call, numbered in the order the caller wrote them (COM
// passes them last first). Any argument may come by reference.
class Arguments {
 public:
  explicit Arguments(const DISPPARAMS& params) : params_(params) {}

  unsigned Count() const { return params_.cArgs; }
  // False past the end and for an optional argument left out (DISP_E_PARAMNOTFOUND).
  bool Given(unsigned index) const;
  // The type of the argument as passed, by-reference indirection removed.
  VARTYPE Type(unsigned index) const;
  // Converted as VariantChangeType does; one that does not convert throws
  // ArgumentMismatch. index must be below Count().
  std::wstring Text(unsigned index) const;
  int32_t Integer(unsigned index) const;
  // Like Integer, but false instead of a failure when it does not convert.
  bool TryInteger(unsigned index, int32_t& value) const;

 private:
  const VARIANT& At(unsigned index) const;
  // The argument converted to `type` into *out (which the caller clears).
  HRESULT Convert(unsigned index, VARTYPE type, VARIANT* out) const;

  const DISPPARAMS& params_;
};

// Thrown by Arguments: Invoke returns `code` and names the argument in *puArgErr.
struct ArgumentMismatch {
  unsigned index;  // in the caller's order
  HRESULT code;
};

// Results for Call; each throws std::bad_alloc when the system has no memory.
void SetText(VARIANT& result, const std::string& utf8);
void SetInteger(VARIANT& result, int32_t value);
// Takes over the one reference `object` was made with.
void SetObject(VARIANT& result, IDispatch* object);

class DispatchObject : public IDispatch {
 public:
  DispatchObject(const DispatchObject&) = delete;
  DispatchObject& operator=(const DispatchObject&) = delete;

  // IUnknown
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;

  // IDispatch
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) override;
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID lcid,
                                          DISPID* ids) override;
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID riid, LCID lcid, WORD flags,
                                   DISPPARAMS* params, VARIANT* result, EXCEPINFO* exception,
                                   UINT* argumentError) override;

 protected:
  // Made with one reference, owned by the one who made it.
  explicit DispatchObject(std::span<const Member> members);
  virtual ~DispatchObject();

  // Does the member's work once Invoke has checked the call: the argument count is
  // within the member's bounds, and result is empty. May throw AutomationError,
  // ArgumentMismatch or std::bad_alloc.
  virtual void Call(DISPID id, const Arguments& arguments, VARIANT& result) = 0;

 private:
  const Member* Find(DISPID id) const;
  // A property of an object called with arguments: they go to that object's
  // default member, as Folders(1) stands for Folders.Item(1).
  HRESULT CallDefaultMember(DISPID id, WORD flags, DISPPARAMS* params, VARIANT* result,
                            EXCEPINFO* exception, UINT* argumentError);

  std::atomic<ULONG> references_{1};
  std::span<const Member> members_;
};

// How many dispatch objects exist in this module.
LONG LiveDispatchObjects();

}  // namespace tessaly::standin
