// The library's own side of a session, shared by its objects. Not part of the
// messaging interface: only platform/mapi's sources include it.
#pragma once

#include "platform/mapi/mapix.h"
#include "platform/mapi/provider.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <new>
#include <thread>
#include <vector>

namespace qm_mapi {

// One IMsgStore::Advise.
struct Subscription {
  ULONG connection;          // the number Advise returned
  MapiEntryBytes store;      // the store whose events it receives
  MapiEntryBytes filter;     // empty: the whole store; else only this object and its children
  ULONG mask;                // fnev* events wanted
  IMAPIAdviseSink *sink;     // holds one reference until Unadvise or logoff
  bool removed = false;      // Unadvise or logoff has taken it out
  int inFlight = 0;          // deliveries to it under way
};

// Events posted together, delivered together.
struct EventBatch {
  std::vector<MapiEvent> events; // in posting order
  bool ignoreMask;               // deliver to subscriptions whatever their mask
};

// A session's notification queue, subscriptions and delivery thread. Shared
// between the session and its thread, so that the thread can outlive a session
// that ends on it.
struct NotifierState {
  std::mutex lock;                    // guards every field below
  std::condition_variable wake;       // a batch was queued, or stopping was set
  std::condition_variable changed;    // a delivery ended or the queue emptied
  std::deque<EventBatch> queue;       // batches not yet delivered
  std::vector<std::shared_ptr<Subscription>> subs; // live subscriptions
  std::thread thread;                 // the delivery thread, once started
  std::thread::id threadId;           // its id, to recognise calls made on it
  bool stopping = false;              // logoff: no more deliveries
  bool delivering = false;            // the thread is between taking a batch and finishing it
  ULONG nextConnection = 1;           // next Advise connection number
};

// Queues events for the subscriptions that want them; drops them when none does.
void notifierPost(NotifierState &state, const MapiEvent *events, ULONG count, bool ignoreMask);
// Adds a subscription (taking a reference to sink) and starts the thread when needed.
HRESULT notifierAdvise(const std::shared_ptr<NotifierState> &state, MapiEntryBytes store,
                       MapiEntryBytes filter, ULONG mask, IMAPIAdviseSink *sink,
                       ULONG *connection);
// Ends a subscription: waits for its running delivery (unless called on the
// delivery thread), then releases its sink.
HRESULT notifierUnadvise(NotifierState &state, ULONG connection);
// Ends every subscription and stops the thread (joined, or detached when
// called on it). Idempotent.
void notifierShutdown(NotifierState &state);
// Registers a live notifier for MAPIWaitForNotifications.
void notifierRegister(const std::shared_ptr<NotifierState> &state);

// One MAPILogonEx: the provider's session and the library's notification state.
struct FrontSession {
  FrontSession(const MapiProvider *provider);
  ~FrontSession(); // shuts notifications down, then logs the provider off
  FrontSession(const FrontSession &) = delete;
  FrontSession &operator=(const FrontSession &) = delete;

  const MapiProvider *provider;           // the back end, fixed for the session's life
  void *driverSession = nullptr;          // the provider's session, null until logon succeeded
  MapiEventSink events;                   // given to the provider: posts into notifier
  std::atomic<bool> ended{false};         // IMAPISession::Logoff was called
  std::shared_ptr<NotifierState> notifier; // subscriptions and delivery
};
using SessionRef = std::shared_ptr<FrontSession>;

// Runs one interface method: checks the session, lets the provider inject a
// fault, and turns exceptions into results (an injected one goes through).
template <class Body>
HRESULT guarded(FrontSession &session, MapiCall call, Body &&body)
{
  try {
    if (session.ended.load())
      return MAPI_E_END_OF_SESSION;
    if (session.provider->enter) {
      HRESULT hr = session.provider->enter(session.driverSession, call);
      if (hr != S_OK)
        return hr;
    }
    return body();
  } catch (const MapiInjectedFault &) {
    throw;
  } catch (const std::bad_alloc &) {
    return MAPI_E_NOT_ENOUGH_MEMORY;
  } catch (...) {
    return MAPI_E_CALL_FAILED;
  }
}

// Entry-id bytes from a caller's size and pointer (null pointer: empty).
MapiEntryBytes entryBytes(ULONG cb, const ENTRYID *id);

// Copies bytes into a block chained to root; *out null for no bytes.
HRESULT copyBytesMore(const MapiEntryBytes &bytes, void *root, BYTE **out);

// Reads one property as the library answers it: PR_ENTRYID and PR_OBJECT_TYPE
// itself, the rest from the provider.
HRESULT readValue(FrontSession &session, const MapiEntryBytes &id, ULONG objType, ULONG tag,
                  MapiValue *value);

// Fills dst from a read: the value when hr is S_OK, else a PT_ERROR value for
// requestedTag carrying hr. Text and bytes are chained to root. *failed is set
// for a PT_ERROR value. Returns S_OK or MAPI_E_NOT_ENOUGH_MEMORY.
HRESULT fillPropValue(HRESULT hr, const MapiValue &value, ULONG requestedTag, SPropValue *dst,
                      void *root, bool *failed);

// The value of a caller's SPropValue in the provider's terms.
HRESULT toMapiValue(const SPropValue &src, MapiValue *dst);

// Opens an object by entry id. requiredStore, when given, must hold it.
HRESULT openEntry(const SessionRef &session, const MapiEntryBytes *requiredStore, ULONG cbEntryID,
                  const ENTRYID *lpEntryID, LPCIID lpInterface, ULONG *lpulObjType,
                  LPUNKNOWN *lppUnk);

// A table over rows of one object type.
HRESULT createTable(const SessionRef &session, ULONG rowType, std::vector<MapiEntryBytes> rows,
                    LPMAPITABLE *lppTable);

// Wraps a stream so that each Read passes the provider's fault injection.
HRESULT createPropertyStream(const SessionRef &session, const std::string &bytes,
                             IUnknown **out);

} // namespace qm_mapi
