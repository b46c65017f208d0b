// The COM library: per-thread initialisation, in-process servers found in
// classes.reg and loaded from their module, the class table, and unloading.
#include "platform/com/classreg.h"
#include "platform/com/com.h"
#include "platform/registry/registry.h"
#include "tests/platform/com/com_probe.h"
#include "tests/support/temp_root.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <thread>

namespace {

// {6A1E5B0E-73D2-4F0E-9C41-2B8D7E3A9F10}: never registered.
constexpr CLSID CLSID_Unregistered = {
    0x6A1E5B0E, 0x73D2, 0x4F0E, {0x9C, 0x41, 0x2B, 0x8D, 0x7E, 0x3A, 0x9F, 0x10}};

// A class object of the test's own, for the class table.
class LocalFactory : public IClassFactory {
public:
  HRESULT QueryInterface(REFIID riid, void **ppv) override
  {
    *ppv = nullptr;
    if (riid != IID_IUnknown && riid != IID_IClassFactory)
      return E_NOINTERFACE;
    *ppv = static_cast<IClassFactory *>(this);
    AddRef();
    return S_OK;
  }
  ULONG AddRef() override { return ++references; }
  ULONG Release() override { return --references; }
  HRESULT CreateInstance(IUnknown *, REFIID riid, void **ppv) override
  {
    ++created;
    return QueryInterface(riid, ppv);
  }
  HRESULT LockServer(BOOL) override { return S_OK; }

  ULONG references = 1; // the test's own reference; never deleted
  int created = 0;      // CreateInstance calls
};

// The probe server's loads and unloads so far: "A" attach, "D" detach.
std::string probeEvents()
{
  const char *e = std::getenv("QM_COM_PROBE_EVENTS");
  return e ? e : "";
}

class Com : public TempRootTest {
protected:
  void SetUp() override
  {
    TempRootTest::SetUp();
    unsetenv("QM_COM_PROBE_EVENTS");
    ASSERT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
  }
  void TearDown() override
  {
    CoUninitialize();
    TempRootTest::TearDown();
  }
};

TEST(ComInit, CountsPerThreadAndRefusesTheOtherModel)
{
  EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
  EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_FALSE);
  EXPECT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), RPC_E_CHANGED_MODE);
  int dummy = 0;
  EXPECT_EQ(CoInitializeEx(&dummy, COINIT_MULTITHREADED), E_INVALIDARG);

  // Another thread starts uninitialised, whatever this one did.
  HRESULT other = E_FAIL;
  std::thread([&] {
    other = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    CoUninitialize();
  }).join();
  EXPECT_EQ(other, S_OK);

  // Two successes need two CoUninitialize calls; the refused ones none.
  CoUninitialize();
  void *p = nullptr;
  EXPECT_NE(CoCreateInstance(CLSID_Unregistered, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, &p),
            CO_E_NOTINITIALIZED);
  CoUninitialize();
  EXPECT_EQ(CoCreateInstance(CLSID_Unregistered, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, &p),
            CO_E_NOTINITIALIZED);
  CoUninitialize(); // one too many: ignored
  EXPECT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_OK);
  CoUninitialize();
}

TEST_F(Com, UnregisteredClassFailsCleanly)
{
  void *p = reinterpret_cast<void *>(0x1);
  EXPECT_EQ(CoCreateInstance(CLSID_Unregistered, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, &p),
            REGDB_E_CLASSNOTREG);
  EXPECT_EQ(p, nullptr);
  EXPECT_EQ(CoCreateInstance(CLSID_Unregistered, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, nullptr),
            E_POINTER);
}

TEST_F(Com, BrokenRegistrationsGiveTheirOwnErrors)
{
  struct Case {
    const WCHAR *module; // InprocServer32's default value; null: no such value
    HRESULT expected;
  } cases[] = {
      {u"NoSuchServer.dll", CO_E_DLLNOTFOUND},
      {u"ComProbeNoExports.dll", CO_E_ERRORINDLL},
      {u"", REGDB_E_CLASSNOTREG},
      {nullptr, REGDB_E_CLASSNOTREG},
  };
  for (const Case &c : cases) {
    if (c.module) {
      ASSERT_EQ(registerInprocServer(CLSID_ComProbe, c.module, nullptr), S_OK);
    } else {
      HKEY key;
      ASSERT_EQ(RegCreateKeyExW(HKEY_CLASSES_ROOT, u"CLSID\\{6A1E5B0C-73D2-4F0E-9C41-2B8D7E3A9F10}\\InprocServer32",
                                0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
                ERROR_SUCCESS);
      RegCloseKey(key);
    }
    void *p = nullptr;
    EXPECT_EQ(CoCreateInstance(CLSID_ComProbe, nullptr, CLSCTX_INPROC_SERVER, IID_IComProbe, &p), c.expected)
        << (c.module ? "with a module value" : "without a module value");
    EXPECT_EQ(p, nullptr);
    ASSERT_EQ(unregisterInprocServer(CLSID_ComProbe), S_OK);
  }
}

TEST_F(Com, LoadsARegisteredServerAndUnloadsItWhenUnused)
{
  ASSERT_EQ(registerInprocServer(CLSID_ComProbe, u"ComProbeServer.dll", u"Free"), S_OK);

  // What the registration wrote.
  HKEY key;
  ASSERT_EQ(RegOpenKeyExW(HKEY_CLASSES_ROOT, u"CLSID\\{6A1E5B0C-73D2-4F0E-9C41-2B8D7E3A9F10}\\InprocServer32",
                          0, KEY_READ, &key),
            ERROR_SUCCESS);
  WCHAR value[64];
  DWORD bytes = sizeof value;
  EXPECT_EQ(RegQueryValueExW(key, u"ThreadingModel", nullptr, nullptr, reinterpret_cast<BYTE *>(value), &bytes),
            ERROR_SUCCESS);
  EXPECT_EQ(std::u16string(value), u"Free");
  RegCloseKey(key);

  void *p = nullptr;
  ASSERT_EQ(CoCreateInstance(CLSID_ComProbe, nullptr, CLSCTX_INPROC_SERVER, IID_IComProbe, &p), S_OK);
  auto *probe = static_cast<IComProbe *>(p);
  EXPECT_EQ(probe->Answer(), 42);
  EXPECT_EQ(probeEvents(), "A");

  // A second object comes from the module already loaded.
  void *q = nullptr;
  ASSERT_EQ(CoCreateInstance(CLSID_ComProbe, nullptr, CLSCTX_ALL, IID_IComProbe, &q), S_OK);
  EXPECT_EQ(probe->LiveObjects(), 2);
  static_cast<IUnknown *>(q)->Release();

  // The server's own refusals come through, and leave nothing behind.
  void *r = reinterpret_cast<void *>(0x1);
  EXPECT_EQ(CoCreateInstance(CLSID_ComProbe, static_cast<IUnknown *>(p), CLSCTX_INPROC_SERVER,
                             IID_IComProbe, &r),
            CLASS_E_NOAGGREGATION);
  EXPECT_EQ(r, nullptr);
  EXPECT_EQ(CoCreateInstance(CLSID_ComProbe, nullptr, CLSCTX_INPROC_SERVER, IID_IClassFactory, &r),
            E_NOINTERFACE);
  EXPECT_EQ(probe->LiveObjects(), 1);

  // Only a server with no live objects is unloaded.
  EXPECT_EQ(probeEvents(), "A") << "one load, however many objects";
  CoFreeUnusedLibraries();
  EXPECT_EQ(probeEvents(), "A");
  probe->Release();
  CoFreeUnusedLibraries();
  EXPECT_EQ(probeEvents(), "AD");

  // And it is loaded again when needed.
  ASSERT_EQ(CoCreateInstance(CLSID_ComProbe, nullptr, CLSCTX_INPROC_SERVER, IID_IComProbe, &p), S_OK);
  EXPECT_EQ(static_cast<IComProbe *>(p)->Answer(), 42);
  EXPECT_EQ(probeEvents(), "ADA");
  static_cast<IUnknown *>(p)->Release();

  ASSERT_EQ(unregisterInprocServer(CLSID_ComProbe), S_OK);
  EXPECT_EQ(CoCreateInstance(CLSID_ComProbe, nullptr, CLSCTX_INPROC_SERVER, IID_IComProbe, &p),
            REGDB_E_CLASSNOTREG);
}

TEST_F(Com, ClassTableComesBeforeTheRegistryAndCanBeRevoked)
{
  ASSERT_EQ(registerInprocServer(CLSID_ComProbe, u"ComProbeServer.dll", nullptr), S_OK);
  LocalFactory factory;
  DWORD cookie = 0;
  ASSERT_EQ(CoRegisterClassObject(CLSID_ComProbe, &factory, CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE, &cookie),
            S_OK);
  EXPECT_EQ(factory.references, 2u); // the table holds one
  DWORD second = 0;
  EXPECT_EQ(CoRegisterClassObject(CLSID_ComProbe, &factory, CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE, &second),
            CO_E_OBJISREG);

  for (int i = 0; i < 2; ++i) {
    void *p = nullptr;
    ASSERT_EQ(CoCreateInstance(CLSID_ComProbe, nullptr, CLSCTX_INPROC_SERVER, IID_IClassFactory, &p), S_OK);
    EXPECT_EQ(p, static_cast<IClassFactory *>(&factory));
    static_cast<IUnknown *>(p)->Release();
  }
  EXPECT_EQ(factory.created, 2);
  EXPECT_EQ(probeEvents(), "") << "the registered server was not loaded";

  EXPECT_EQ(CoRevokeClassObject(cookie), S_OK);
  EXPECT_EQ(factory.references, 1u);
  EXPECT_EQ(CoRevokeClassObject(cookie), CO_E_OBJNOTREG);

  // Now the registry's server answers.
  void *p = nullptr;
  ASSERT_EQ(CoCreateInstance(CLSID_ComProbe, nullptr, CLSCTX_INPROC_SERVER, IID_IComProbe, &p), S_OK);
  EXPECT_EQ(static_cast<IComProbe *>(p)->Answer(), 42);
  static_cast<IUnknown *>(p)->Release();
  ASSERT_EQ(unregisterInprocServer(CLSID_ComProbe), S_OK);
}

TEST_F(Com, ClassTableHonoursContextAndSingleUse)
{
  LocalFactory local;
  DWORD localCookie = 0;
  ASSERT_EQ(CoRegisterClassObject(CLSID_Unregistered, &local, CLSCTX_LOCAL_SERVER, REGCLS_MULTIPLEUSE,
                                  &localCookie),
            S_OK);
  void *p = nullptr;
  EXPECT_EQ(CoCreateInstance(CLSID_Unregistered, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, &p),
            REGDB_E_CLASSNOTREG);
  ASSERT_EQ(CoRevokeClassObject(localCookie), S_OK);

  LocalFactory once;
  DWORD cookie = 0;
  ASSERT_EQ(CoRegisterClassObject(CLSID_Unregistered, &once, CLSCTX_INPROC_SERVER, REGCLS_SINGLEUSE, &cookie),
            S_OK);
  ASSERT_EQ(CoCreateInstance(CLSID_Unregistered, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, &p), S_OK);
  static_cast<IUnknown *>(p)->Release();
  EXPECT_EQ(CoCreateInstance(CLSID_Unregistered, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, &p),
            REGDB_E_CLASSNOTREG);
  ASSERT_EQ(CoRevokeClassObject(cookie), S_OK);
  EXPECT_EQ(once.references, 1u);
}

TEST(ComTable, RegistrationNeedsNoInitialisationButCreationDoes)
{
  LocalFactory factory;
  DWORD cookie = 0;
  ASSERT_EQ(CoRegisterClassObject(CLSID_Unregistered, &factory, CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE,
                                  &cookie),
            S_OK);
  void *p = reinterpret_cast<void *>(0x1);
  EXPECT_EQ(CoCreateInstance(CLSID_Unregistered, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, &p),
            CO_E_NOTINITIALIZED);
  EXPECT_EQ(p, nullptr);
  // The code that initialises COM afterwards is still the first to do so.
  ASSERT_EQ(CoInitializeEx(nullptr, 0), S_OK);
  EXPECT_EQ(CoCreateInstance(CLSID_Unregistered, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, &p), S_OK);
  static_cast<IUnknown *>(p)->Release();
  CoUninitialize();
  ASSERT_EQ(CoRevokeClassObject(cookie), S_OK);
}

} // namespace
