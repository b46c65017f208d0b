// What the extension object meets in the Inbox, built in memory: message
// stores (the memory provider), a site whose data object hands out the
// selection, and a stand-in for the program's main window on a thread of its
// own, answering the command codes as the program does.
#pragma once

#include "inboxmenu/command_texts.h"
#include "inboxmenu/extension.h"
#include "inboxmenu/server.h"
#include "platform/com/dataobject.h"
#include "platform/mapi/memory/memory_mapi.h"
#include "platform/shell/menu_extension.h"
#include "tests/support/temp_root.h"

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// The host's object: IDataObject with the selection in the "ItemRefArray"
// format. Counts the media it handed out and that came back.
class TestSite final : public IDataObject {
public:
  // The selection: the folder and the message, by entry id.
  TestSite(MapiEntryBytes folder, MapiEntryBytes message);
  ~TestSite() override;

  HRESULT QueryInterface(REFIID riid, void **ppv) override;
  ULONG AddRef() override { return ++references; }
  ULONG Release() override { return --references; } // lives on the test's stack
  HRESULT GetData(FORMATETC *format, STGMEDIUM *medium) override;
  HRESULT GetDataHere(FORMATETC *, STGMEDIUM *) override { return E_NOTIMPL; }
  HRESULT QueryGetData(FORMATETC *format) override;

  std::atomic<ULONG> references{1};
  std::atomic<int> mediaOut{0};    // media handed out and not yet released
  bool answerDataObject = true;    // QueryInterface for IDataObject succeeds
  HRESULT getDataResult = S_OK;    // what GetData answers
  bool nullHandle = false;         // the medium carries no record
  // The record, as the test may spoil it.
  MapiEntryBytes folderBytes, messageBytes;
  SBinary folderId{}, messageId{};
  GUID folderType = ITEMREF_TYPE_FOLDER, messageType = ITEMREF_TYPE_MESSAGE;
  ItemRefArray record{};

private:
  // Gives a medium back: it names the site as its owner.
  class MediumOwner;
  std::unique_ptr<MediumOwner> owner_;
};

// The program's main window ("Quillmarsh Class", "Quillmarsh") on a thread of
// its own: records each command (code and entry-id bytes) and answers code 5
// with 1 for a sender in `known`, code 4 by toggling it, 1 to the others.
class TestMainWindow {
public:
  TestMainWindow();
  ~TestMainWindow();

  struct Command {
    ULONG_PTR code;
    std::vector<BYTE> bytes;
  };
  std::vector<Command> commands(); // so far, in order
  void setKnown(bool known);       // whether the selected message's sender is known
  bool known();

private:
  std::thread thread_;
  std::atomic<bool> ready_{false};
};

// One message in the Inbox of a memory store, the site selecting it, and the
// library's command texts loaded as its entry point loads them.
class ExtensionScene : public TempRootTest {
protected:
  void SetUp() override;
  void TearDown() override;

  // A new extension object of the kind, asked for IContextMenu, with the
  // site set.
  IContextMenu *makeMenu(LONG kind = KIND_CONTEXT_MENU);
  // InvokeCommand with the verb text.
  HRESULT invoke(IContextMenu *menu, const WCHAR *verb);

  std::unique_ptr<MemInstall> mem;
  MemStore *store = nullptr;
  MemMessage *message = nullptr;
  std::unique_ptr<TestSite> site;
};
