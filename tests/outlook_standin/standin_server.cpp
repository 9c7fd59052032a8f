// The module's entry points: the class factory of Application, whether the module
// may be unloaded, and registration.

#include <olectl.h>

#include <atomic>
#include <new>

#include "tests/outlook_standin/dispatch_object.h"
#include "tests/outlook_standin/standin_objects.h"
#include "tests/outlook_standin/standin_registration.h"

namespace tessaly::standin {

namespace {

HMODULE thisModule = nullptr;
std::atomic<LONG> serverLocks{0};
// References held on the factory: a client may keep it without locking the server,
// and the module must stay while it does.
std::atomic<LONG> factoryReferences{0};

class ApplicationFactory final : public IClassFactory {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
    if (object == nullptr) return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IClassFactory)) {
      *object = static_cast<IClassFactory*>(this);
      AddRef();
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  // One factory for the module's life: references only keep the module loaded.
  ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(++factoryReferences); }
  ULONG STDMETHODCALLTYPE Release() override { return static_cast<ULONG>(--factoryReferences); }

  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, void** object) override {
    if (object == nullptr) return E_POINTER;
    *object = nullptr;
    if (outer != nullptr) return CLASS_E_NOAGGREGATION;
    Application* application = new (std::nothrow) Application();
    if (application == nullptr) return E_OUTOFMEMORY;
    const HRESULT hr = application->QueryInterface(riid, object);
    application->Release();
    return hr;
  }

  HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override {
    if (lock) {
      ++serverLocks;
      return S_OK;
    }
    // An unlock without a lock must not let the count go below zero.
    LONG locks = serverLocks.load();
    while (locks > 0 && !serverLocks.compare_exchange_weak(locks, locks - 1)) {
    }
    return S_OK;
  }
};

ApplicationFactory factory;

}  // namespace

}  // namespace tessaly::standin

namespace standin = tessaly::standin;

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    standin::thisModule = instance;
    DisableThreadLibraryCalls(instance);
  }
  return TRUE;
}

STDAPI DllGetClassObject(REFCLSID clsid, REFIID riid, LPVOID* object) {
  if (object == nullptr) return E_POINTER;
  *object = nullptr;
  if (!IsEqualCLSID(clsid, standin::kStandInClsid)) return CLASS_E_CLASSNOTAVAILABLE;
  return standin::factory.QueryInterface(riid, object);
}

STDAPI DllCanUnloadNow() {
  const bool unused = standin::LiveDispatchObjects() == 0 && standin::serverLocks == 0 &&
                      standin::factoryReferences == 0;
  return unused ? S_OK : S_FALSE;
}

STDAPI DllRegisterServer() {
  try {
    return standin::RegisterStandIn(standin::thisModule);
  } catch (...) {  // out of memory: nothing may leave through the export
    return E_OUTOFMEMORY;
  }
}

STDAPI DllUnregisterServer() {
  try {
    return standin::UnregisterStandIn();
  } catch (...) {
    return E_OUTOFMEMORY;
  }
}

// How many automation objects are alive, class factory and locks not counted: a
// test's way to see that the client released every object it was given.
extern "C" LONG __stdcall StandInLiveObjects() {
  return standin::LiveDispatchObjects();
}
