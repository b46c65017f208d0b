#include "tests/inboxmenu/extension_scene.h"

#include "platform/module/module.h"
#include "platform/window/clipboard.h"
#include "platform/window/window.h"
#include "ui/resources/program_resources.h"

#include <chrono>

// ---- The site -----------------------------------------------------------------

class TestSite::MediumOwner final : public IUnknown {
public:
  explicit MediumOwner(std::atomic<int> *out) : out_(out) {}
  HRESULT QueryInterface(REFIID, void **) override { return E_NOINTERFACE; }
  ULONG AddRef() override { return static_cast<ULONG>(++*out_); }
  ULONG Release() override { return static_cast<ULONG>(--*out_); }

private:
  std::atomic<int> *out_;
};

TestSite::TestSite(MapiEntryBytes folder, MapiEntryBytes message)
    : folderBytes(std::move(folder)), messageBytes(std::move(message)),
      owner_(new MediumOwner(&mediaOut))
{
  folderId = SBinary{static_cast<ULONG>(folderBytes.size()), folderBytes.data()};
  messageId = SBinary{static_cast<ULONG>(messageBytes.size()), messageBytes.data()};
  record.cRefs = 2;
  record.refs[0] = ItemRef{&folderType, &folderId};
  record.refs[1] = ItemRef{&messageType, &messageId};
}

TestSite::~TestSite() = default;

HRESULT TestSite::QueryInterface(REFIID riid, void **ppv)
{
  if (riid == IID_IUnknown || (riid == IID_IDataObject && answerDataObject)) {
    *ppv = static_cast<IDataObject *>(this);
    AddRef();
    return S_OK;
  }
  *ppv = nullptr;
  return E_NOINTERFACE;
}

HRESULT TestSite::QueryGetData(FORMATETC *format)
{
  if (format->cfFormat != RegisterClipboardFormatW(CF_ITEMREFARRAY_NAME) || format->ptd ||
      format->dwAspect != DVASPECT_CONTENT || format->lindex != -1)
    return DV_E_FORMATETC;
  return format->tymed & TYMED_HGLOBAL ? S_OK : DV_E_TYMED;
}

HRESULT TestSite::GetData(FORMATETC *format, STGMEDIUM *medium)
{
  HRESULT hr = QueryGetData(format);
  if (FAILED(hr))
    return hr;
  if (FAILED(getDataResult))
    return getDataResult;
  owner_->AddRef();
  *medium = STGMEDIUM{TYMED_HGLOBAL, nullHandle ? nullptr : &record, owner_.get()};
  return S_OK;
}

// ---- The main window ------------------------------------------------------------

namespace {

struct WindowState {
  std::mutex lock;
  std::vector<TestMainWindow::Command> commands;
  bool known = false;
};

WindowState &state()
{
  static WindowState s;
  return s;
}

constexpr UINT WM_STOP = WM_USER + 77;

LRESULT mainWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
  if (message == WM_COPYDATA) {
    auto *data = reinterpret_cast<COPYDATASTRUCT *>(lParam);
    const BYTE *bytes = static_cast<const BYTE *>(data->lpData);
    std::lock_guard<std::mutex> guard(state().lock);
    state().commands.push_back({data->dwData, std::vector<BYTE>(bytes, bytes + data->cbData)});
    switch (data->dwData) {
    case 1:
    case 2:
    case 3:
      return 1;
    case 4:
      state().known = !state().known;
      return 1;
    case 5:
      return state().known ? 1 : 0;
    default:
      return 0;
    }
  }
  if (message == WM_STOP) {
    DestroyWindow(hwnd);
    PostQuitMessage(0);
    return 0;
  }
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

} // namespace

TestMainWindow::TestMainWindow()
{
  {
    std::lock_guard<std::mutex> guard(state().lock);
    state().commands.clear();
    state().known = false;
  }
  thread_ = std::thread([this] {
    WNDCLASSW wc{};
    wc.lpfnWndProc = mainWindowProc;
    wc.lpszClassName = u"Quillmarsh Class";
    RegisterClassW(&wc);
    HWND window = CreateWindowExW(0, u"Quillmarsh Class", u"Quillmarsh", 0, 0, 0, 0, 0, nullptr, nullptr,
                                  nullptr, nullptr);
    ready_ = true;
    if (!window)
      return;
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0)
      DispatchMessageW(&msg);
    UnregisterClassW(u"Quillmarsh Class", nullptr);
  });
  while (!ready_)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

TestMainWindow::~TestMainWindow()
{
  PostMessageW(FindWindowW(u"Quillmarsh Class", u"Quillmarsh"), WM_STOP, 0, 0);
  thread_.join();
}

std::vector<TestMainWindow::Command> TestMainWindow::commands()
{
  std::lock_guard<std::mutex> guard(state().lock);
  return state().commands;
}

void TestMainWindow::setKnown(bool known)
{
  std::lock_guard<std::mutex> guard(state().lock);
  state().known = known;
}

bool TestMainWindow::known()
{
  std::lock_guard<std::mutex> guard(state().lock);
  return state().known;
}

// ---- The scene ------------------------------------------------------------------

void ExtensionScene::SetUp()
{
  TempRootTest::SetUp();
  // The texts as the library's entry point loads them, from the test
  // program's handle standing in for the library's.
  HMODULE self = GetModuleHandleW(nullptr);
  registerExtensionResources(self);
  loadCommandTexts(self);

  mem = std::make_unique<MemInstall>();
  store = memAddStore(mem->world, u"Mail");
  message = memAddMessage(memInbox(store), {.from = u"ann@example.org", .subject = u"Hello"});
  memSetProp(memObject(memInbox(store)), mapiLong(0x36010003, 1), false);
  site = std::make_unique<TestSite>(memEntryId(memObject(memInbox(store))), memEntryId(memObject(message)));
}

void ExtensionScene::TearDown()
{
  EXPECT_EQ(site->mediaOut.load(), 0) << "every medium is given back";
  EXPECT_EQ(site->references.load(), 1u) << "the site is released with the object";
  EXPECT_EQ(moduleLockCount.load(), 0) << "every object is gone";
  EXPECT_EQ(memOpenSessions(mem->world), 0u) << "every logon is undone";
  site.reset();
  mem.reset();
  TempRootTest::TearDown();
}

IContextMenu *ExtensionScene::makeMenu(LONG kind)
{
  IUnknown *object = createInboxMenuExtension(kind);
  void *withSite = nullptr;
  EXPECT_EQ(object->QueryInterface(IID_IObjectWithSite, &withSite), S_OK);
  static_cast<IObjectWithSite *>(withSite)->SetSite(site.get());
  static_cast<IObjectWithSite *>(withSite)->Release();
  void *menu = nullptr;
  EXPECT_EQ(object->QueryInterface(IID_IContextMenu, &menu), S_OK);
  object->Release();
  return static_cast<IContextMenu *>(menu);
}

HRESULT ExtensionScene::invoke(IContextMenu *menu, const WCHAR *verb)
{
  CMINVOKECOMMANDINFO info{};
  info.cbSize = sizeof info;
  info.lpVerb = verb;
  return menu->InvokeCommand(&info);
}
