// The class factory and the module lock count, through DllGetClassObject and
// DllCanUnloadNow as the host calls them.
#include "inboxmenu/server.h"
#include "platform/shell/menu_extension.h"

#include <gtest/gtest.h>

namespace {

IClassFactory *factoryFor(REFCLSID clsid)
{
  void *p = nullptr;
  EXPECT_EQ(getClassObject(clsid, IID_IClassFactory, &p), S_OK);
  return static_cast<IClassFactory *>(p);
}

// A stand-in outer object for the aggregation check; never called.
struct Outer final : IUnknown {
  HRESULT QueryInterface(REFIID, void **) override { return E_NOINTERFACE; }
  ULONG AddRef() override { return 2; }
  ULONG Release() override { return 1; }
};

} // namespace

TEST(InboxMenuServer, BothClassesMakeObjectsWithBothInterfacesAndCountThem)
{
  for (const CLSID &clsid : {CLSID_InboxContextMenuExt, CLSID_InboxSoftkeyMenuExt}) {
    ASSERT_EQ(canUnloadNow(), S_OK);
    IClassFactory *factory = factoryFor(clsid);
    ASSERT_NE(factory, nullptr);
    void *menu = nullptr;
    ASSERT_EQ(factory->CreateInstance(nullptr, IID_IContextMenu, &menu), S_OK);
    EXPECT_EQ(factory->Release(), 0u); // factories are not counted; objects are
    EXPECT_EQ(moduleLockCount.load(), 1);
    EXPECT_EQ(canUnloadNow(), S_FALSE);

    // One object, two interfaces: each answers the other and IUnknown the same.
    auto *contextMenu = static_cast<IContextMenu *>(menu);
    void *withSite = nullptr;
    ASSERT_EQ(contextMenu->QueryInterface(IID_IObjectWithSite, &withSite), S_OK);
    void *unknown1 = nullptr, *unknown2 = nullptr;
    ASSERT_EQ(contextMenu->QueryInterface(IID_IUnknown, &unknown1), S_OK);
    ASSERT_EQ(static_cast<IObjectWithSite *>(withSite)->QueryInterface(IID_IUnknown, &unknown2), S_OK);
    EXPECT_EQ(unknown1, unknown2);
    EXPECT_EQ(unknown1, withSite);
    void *none = reinterpret_cast<void *>(0x1);
    EXPECT_EQ(contextMenu->QueryInterface(IID_IClassFactory, &none), E_NOINTERFACE);
    EXPECT_EQ(none, nullptr);

    static_cast<IUnknown *>(unknown1)->Release();
    static_cast<IUnknown *>(unknown2)->Release();
    static_cast<IObjectWithSite *>(withSite)->Release();
    EXPECT_EQ(contextMenu->Release(), 0u);
    EXPECT_EQ(moduleLockCount.load(), 0);
    EXPECT_EQ(canUnloadNow(), S_OK);
  }
}

TEST(InboxMenuServer, RefusesUnknownClassesInterfacesAndAggregation)
{
  void *out = reinterpret_cast<void *>(0x1);
  // {05058F23-20BE-11D2-8F18-0000F87A4335}: a class of another server.
  const CLSID other = {0x05058F23, 0x20BE, 0x11D2, {0x8F, 0x18, 0, 0, 0xF8, 0x7A, 0x43, 0x35}};
  EXPECT_EQ(getClassObject(other, IID_IClassFactory, &out), CLASS_E_CLASSNOTAVAILABLE);
  EXPECT_EQ(out, reinterpret_cast<void *>(0x1));
  // The factory made for an unsupported interface is gone again (the leak
  // check of the sanitizer run sees it), and out is left alone.
  EXPECT_EQ(getClassObject(CLSID_InboxContextMenuExt, IID_IContextMenu, &out), E_NOINTERFACE);
  EXPECT_EQ(out, reinterpret_cast<void *>(0x1));

  IClassFactory *factory = factoryFor(CLSID_InboxSoftkeyMenuExt);
  Outer outer;
  EXPECT_EQ(factory->CreateInstance(&outer, IID_IUnknown, &out), CLASS_E_NOAGGREGATION);
  EXPECT_EQ(out, nullptr);
  // An object made for an interface it lacks is released at once.
  out = reinterpret_cast<void *>(0x1);
  EXPECT_EQ(factory->CreateInstance(nullptr, IID_IClassFactory, &out), E_NOINTERFACE);
  EXPECT_EQ(out, nullptr);
  EXPECT_EQ(moduleLockCount.load(), 0);
  factory->Release();
}

TEST(InboxMenuServer, ServerLocksKeepTheLibraryLoaded)
{
  IClassFactory *factory = factoryFor(CLSID_InboxContextMenuExt);
  void *object = nullptr;
  ASSERT_EQ(factory->CreateInstance(nullptr, IID_IUnknown, &object), S_OK);
  EXPECT_EQ(factory->LockServer(TRUE), S_OK);
  static_cast<IUnknown *>(object)->Release();
  EXPECT_EQ(canUnloadNow(), S_FALSE); // the lock alone holds it
  EXPECT_EQ(factory->LockServer(FALSE), S_OK);
  EXPECT_EQ(canUnloadNow(), S_OK);
  factory->Release();
}
