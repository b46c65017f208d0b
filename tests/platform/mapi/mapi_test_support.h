// What the messaging tests share: a session on a fresh memory world, a sink
// that records what it is told, and short ways to open and read things.
#pragma once

#include "platform/com/stream.h"
#include "platform/mapi/mapix.h"
#include "platform/mapi/memory/memory_mapi.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

// Bound of every wait for the notification thread, which may not run for
// seconds under ThreadSanitizer on a busy machine.
constexpr DWORD WAIT_MS = 30000;

// One notification as a sink saw it.
struct SeenNote {
  ULONG eventType;         // fnev*
  ULONG objType;           // object events: the object's type
  MapiEntryBytes id;       // the object (new mail: the message)
  MapiEntryBytes parent;   // its folder
  MapiEntryBytes oldParent; // moves and copies: the former folder
  std::thread::id thread;  // where OnNotify ran
  ULONG batch;             // the number of notifications in that OnNotify call
};

inline MapiEntryBytes idBytes(ULONG cb, const ENTRYID *id)
{
  if (!id)
    return {};
  auto *p = reinterpret_cast<const BYTE *>(id);
  return MapiEntryBytes(p, p + cb);
}

// An advise sink that records every notification; reference counted like the
// program's, and usable from the notification thread.
class RecordingSink : public IMAPIAdviseSink {
public:
  HRESULT QueryInterface(REFIID riid, void **ppv) override
  {
    if (riid == IID_IUnknown || riid == IID_IMAPIAdviseSink) {
      *ppv = static_cast<IMAPIAdviseSink *>(this);
      AddRef();
      return S_OK;
    }
    return E_NOINTERFACE;
  }
  ULONG AddRef() override { return ++refs; }
  ULONG Release() override { return --refs; } // owned by the test, never deleted here
  ULONG OnNotify(ULONG cNotif, LPNOTIFICATION n) override
  {
    if (onNotify)
      onNotify(cNotif, n);
    std::lock_guard<std::mutex> guard(lock);
    for (ULONG i = 0; i < cNotif; ++i) {
      SeenNote s{n[i].ulEventType, 0, {}, {}, {}, std::this_thread::get_id(), cNotif};
      if (n[i].ulEventType == fnevNewMail) {
        s.id = idBytes(n[i].info.newmail.cbEntryID, n[i].info.newmail.lpEntryID);
        s.parent = idBytes(n[i].info.newmail.cbParentID, n[i].info.newmail.lpParentID);
      } else {
        const OBJECT_NOTIFICATION &o = n[i].info.obj;
        s.objType = o.ulObjType;
        s.id = idBytes(o.cbEntryID, o.lpEntryID);
        s.parent = idBytes(o.cbParentID, o.lpParentID);
        s.oldParent = idBytes(o.cbOldParentID, o.lpOldParentID);
      }
      seen.push_back(s);
    }
    arrived.notify_all();
    return 0;
  }

  // Waits (bounded) until at least n notifications have arrived.
  bool waitFor(std::size_t n)
  {
    std::unique_lock<std::mutex> guard(lock);
    return arrived.wait_for(guard, std::chrono::milliseconds(WAIT_MS), [&] { return seen.size() >= n; });
  }
  std::vector<SeenNote> notes()
  {
    std::lock_guard<std::mutex> guard(lock);
    return seen;
  }

  std::atomic<ULONG> refs{0};                        // references the store holds
  std::function<void(ULONG, LPNOTIFICATION)> onNotify; // runs first in OnNotify, when set

private:
  std::mutex lock;                  // guards seen
  std::condition_variable arrived;  // seen grew
  std::vector<SeenNote> seen;       // everything received, in order
};

// A test with a fresh memory world ("Mail" with its standard folders) and a
// session on it.
class MapiTest : public ::testing::Test {
protected:
  void SetUp() override
  {
    mail = memAddStore(mem.world, u"Mail");
    ASSERT_EQ(S_OK, MAPILogonEx(0, nullptr, nullptr, 0, &session));
  }
  void TearDown() override
  {
    if (session) {
      session->Logoff(0, 0, 0);
      session->Release();
    }
  }

  // Opens an object of the world through the session; the caller releases it.
  template <class T>
  T *open(MemObject *object)
  {
    MapiEntryBytes id = memEntryId(object);
    IUnknown *unk = nullptr;
    ULONG type = 0;
    EXPECT_EQ(S_OK, session->OpenEntry(static_cast<ULONG>(id.size()), reinterpret_cast<LPENTRYID>(id.data()),
                                       nullptr, 0, &type, &unk));
    return static_cast<T *>(static_cast<IUnknown *>(unk));
  }
  IMsgStore *openStore(MemStore *store)
  {
    MapiEntryBytes id = memEntryId(memObject(store));
    IMsgStore *s = nullptr;
    EXPECT_EQ(S_OK, session->OpenMsgStore(0, static_cast<ULONG>(id.size()),
                                          reinterpret_cast<LPENTRYID>(id.data()), nullptr, 0, &s));
    return s;
  }

  MemInstall mem;                  // the world, installed
  MemStore *mail = nullptr;        // the store "Mail"
  IMAPISession *session = nullptr; // logged on in SetUp
};

// Reads one property; *hr receives GetProps' result.
inline SPropValue *getOne(IMAPIProp *object, ULONG tag, HRESULT *hr)
{
  SizedSPropTagArray(1, tags) = {1, {tag}};
  ULONG count = 0;
  SPropValue *values = nullptr;
  *hr = object->GetProps(reinterpret_cast<LPSPropTagArray>(&tags), MAPI_UNICODE, &count, &values);
  return values;
}

// The first column (entry ids) of every row, read one row at a time.
inline std::vector<MapiEntryBytes> firstColumn(IMAPITable *table)
{
  std::vector<MapiEntryBytes> ids;
  for (;;) {
    SRowSet *rows = nullptr;
    if (table->QueryRows(1, 0, &rows) != S_OK)
      break;
    bool one = rows->cRows == 1;
    if (one)
      ids.emplace_back(rows->aRow[0].lpProps[0].Value.bin.lpb,
                       rows->aRow[0].lpProps[0].Value.bin.lpb + rows->aRow[0].lpProps[0].Value.bin.cb);
    FreeProws(rows);
    if (!one)
      break;
  }
  return ids;
}

// Reads a stream to its end.
inline std::string readAll(IStream *stream)
{
  std::string out;
  char buf[7]; // small on purpose: several reads per text
  for (;;) {
    ULONG got = 0;
    HRESULT hr = stream->Read(buf, sizeof buf, &got);
    out.append(buf, got);
    if (hr != S_OK || got == 0)
      break;
  }
  return out;
}
