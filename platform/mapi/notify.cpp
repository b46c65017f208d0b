// Notification delivery: each session queues its provider's events and hands
// them to the subscribed advise sinks on a thread of its own, as the
// handheld's messaging system calls OnNotify on its own thread.
#include "platform/mapi/frontend.h"

#include <algorithm>
#include <chrono>
#include <thread>

namespace qm_mapi {

namespace {

// Live notifiers, for MAPIWaitForNotifications.
std::mutex registryLock;
std::vector<std::weak_ptr<NotifierState>> registry;

bool wants(const Subscription &sub, const MapiEvent &event, bool ignoreMask)
{
  if (event.store != sub.store)
    return false;
  if (!ignoreMask && !(sub.mask & event.eventType))
    return false;
  // A folder's children include the one that just left it (moved away).
  return sub.filter.empty() || event.id == sub.filter || event.parent == sub.filter ||
         (!event.oldParent.empty() && event.oldParent == sub.filter);
}

// Builds the NOTIFICATION array for one sink in one MAPIAllocateBuffer block.
HRESULT buildNotifications(const std::vector<const MapiEvent *> &events, NOTIFICATION **out)
{
  *out = nullptr;
  void *block = nullptr;
  HRESULT hr = MAPIAllocateBuffer(static_cast<ULONG>(sizeof(NOTIFICATION) * events.size()), &block);
  if (hr != S_OK)
    return hr;
  auto *notes = static_cast<NOTIFICATION *>(block);
  auto copyId = [&](const MapiEntryBytes &bytes, ULONG *cb, LPENTRYID *id) {
    BYTE *p = nullptr;
    HRESULT r = copyBytesMore(bytes, block, &p);
    *cb = p ? static_cast<ULONG>(bytes.size()) : 0;
    *id = reinterpret_cast<LPENTRYID>(p);
    return r;
  };
  for (std::size_t i = 0; i < events.size() && hr == S_OK; ++i) {
    const MapiEvent &e = *events[i];
    NOTIFICATION &n = notes[i];
    n.ulEventType = e.eventType;
    if (e.eventType == fnevNewMail) {
      NEWMAIL_NOTIFICATION &m = n.info.newmail;
      hr = copyId(e.id, &m.cbEntryID, &m.lpEntryID);
      if (hr == S_OK)
        hr = copyId(e.parent, &m.cbParentID, &m.lpParentID);
      m.ulFlags = MAPI_UNICODE;
      m.lpszMessageClass = nullptr;
      m.ulMessageFlags = e.messageFlags;
    } else if (e.eventType == fnevCriticalError) {
      ERROR_NOTIFICATION &err = n.info.err;
      hr = copyId(e.id, &err.cbEntryID, &err.lpEntryID);
      err.scode = MAPI_E_CALL_FAILED;
    } else {
      OBJECT_NOTIFICATION &o = n.info.obj;
      o.ulObjType = e.objType;
      hr = copyId(e.id, &o.cbEntryID, &o.lpEntryID);
      if (hr == S_OK)
        hr = copyId(e.parent, &o.cbParentID, &o.lpParentID);
      if (hr == S_OK)
        hr = copyId(e.oldId, &o.cbOldID, &o.lpOldID);
      if (hr == S_OK)
        hr = copyId(e.oldParent, &o.cbOldParentID, &o.lpOldParentID);
    }
  }
  if (hr != S_OK) {
    MAPIFreeBuffer(block);
    return hr;
  }
  *out = notes;
  return S_OK;
}

// Delivers one batch to the subscriptions taken for it (each holds a delivery
// reference to its sink).
void deliver(const EventBatch &batch, const std::vector<std::shared_ptr<Subscription>> &targets,
             const std::vector<IMAPIAdviseSink *> &sinks)
{
  for (std::size_t t = 0; t < targets.size(); ++t) {
    std::vector<const MapiEvent *> mine;
    for (const MapiEvent &e : batch.events)
      if (wants(*targets[t], e, batch.ignoreMask))
        mine.push_back(&e);
    NOTIFICATION *notes = nullptr;
    if (mine.empty() || buildNotifications(mine, &notes) != S_OK)
      continue;
    try {
      (void)sinks[t]->OnNotify(static_cast<ULONG>(mine.size()), notes); // its result means nothing
    } catch (...) {
      // A sink's failure is its own; delivery goes on.
    }
    MAPIFreeBuffer(notes);
  }
}

// How long the thread lets events gather after it had to wait for one. A
// store posts a move as its own event at the moment it makes it, and a
// sorting pass makes them back to back: one wake-up then delivers a burst,
// instead of one per move, each stopping the poster at the queue's lock.
constexpr auto DELIVERY_GATHER = std::chrono::milliseconds(2);

void deliveryLoop(std::shared_ptr<NotifierState> state)
{
  std::unique_lock<std::mutex> guard(state->lock);
  for (;;) {
    if (!state->stopping && state->queue.empty()) {
      state->wake.wait(guard, [&] { return state->stopping || !state->queue.empty(); });
      guard.unlock();
      std::this_thread::sleep_for(DELIVERY_GATHER);
      guard.lock();
    }
    if (state->stopping)
      break;
    EventBatch batch = std::move(state->queue.front());
    state->queue.pop_front();
    state->delivering = true;
    std::vector<std::shared_ptr<Subscription>> targets;
    std::vector<IMAPIAdviseSink *> sinks;
    for (const auto &sub : state->subs) {
      if (sub->removed)
        continue;
      bool any = std::any_of(batch.events.begin(), batch.events.end(),
                             [&](const MapiEvent &e) { return wants(*sub, e, batch.ignoreMask); });
      if (!any)
        continue;
      ++sub->inFlight;
      sub->sink->AddRef(); // kept across OnNotify even if Unadvise runs inside it
      targets.push_back(sub);
      sinks.push_back(sub->sink);
    }
    guard.unlock();
    deliver(batch, targets, sinks);
    for (IMAPIAdviseSink *sink : sinks)
      sink->Release();
    guard.lock();
    for (const auto &sub : targets)
      --sub->inFlight;
    state->delivering = false;
    state->changed.notify_all();
  }
  state->delivering = false;
  state->changed.notify_all();
}

bool onDeliveryThread(const NotifierState &state)
{
  return state.threadId == std::this_thread::get_id();
}

} // namespace

void notifierPost(NotifierState &state, const MapiEvent *events, ULONG count, bool ignoreMask)
{
  if (count == 0)
    return;
  std::lock_guard<std::mutex> guard(state.lock);
  if (state.stopping)
    return;
  bool wanted = false;
  for (const auto &sub : state.subs)
    for (ULONG i = 0; i < count && !wanted; ++i)
      wanted = !sub->removed && wants(*sub, events[i], ignoreMask);
  if (!wanted)
    return;
  state.queue.push_back(EventBatch{std::vector<MapiEvent>(events, events + count), ignoreMask});
  state.wake.notify_one();
}

HRESULT notifierAdvise(const std::shared_ptr<NotifierState> &state, MapiEntryBytes store,
                       MapiEntryBytes filter, ULONG mask, IMAPIAdviseSink *sink,
                       ULONG *connection)
{
  std::lock_guard<std::mutex> guard(state->lock);
  if (state->stopping)
    return MAPI_E_END_OF_SESSION;
  auto sub = std::make_shared<Subscription>(
      Subscription{state->nextConnection++, std::move(store), std::move(filter), mask, sink});
  sink->AddRef();
  state->subs.push_back(sub);
  if (!state->thread.joinable()) {
    state->thread = std::thread(deliveryLoop, state);
    state->threadId = state->thread.get_id();
  }
  *connection = sub->connection;
  return S_OK;
}

HRESULT notifierUnadvise(NotifierState &state, ULONG connection)
{
  IMAPIAdviseSink *sink = nullptr;
  {
    std::unique_lock<std::mutex> guard(state.lock);
    auto it = std::find_if(state.subs.begin(), state.subs.end(),
                           [&](const auto &s) { return s->connection == connection; });
    if (it == state.subs.end())
      return MAPI_E_NOT_FOUND;
    std::shared_ptr<Subscription> sub = *it;
    state.subs.erase(it);
    sub->removed = true;
    if (!onDeliveryThread(state))
      state.changed.wait(guard, [&] { return sub->inFlight == 0; });
    sink = sub->sink;
  }
  sink->Release(); // outside the lock: the sink may call back into its store
  return S_OK;
}

void notifierShutdown(NotifierState &state)
{
  std::vector<std::shared_ptr<Subscription>> ended;
  std::thread thread;
  {
    std::unique_lock<std::mutex> guard(state.lock);
    state.stopping = true;
    state.queue.clear();
    ended.swap(state.subs);
    for (const auto &sub : ended)
      sub->removed = true;
    state.wake.notify_all();
    if (!onDeliveryThread(state)) {
      state.changed.wait(guard, [&] {
        return std::all_of(ended.begin(), ended.end(), [](const auto &s) { return s->inFlight == 0; });
      });
      thread = std::move(state.thread);
    } else if (state.thread.joinable()) {
      state.thread.detach(); // it ends by itself when the current OnNotify returns
    }
  }
  if (thread.joinable())
    thread.join();
  for (const auto &sub : ended)
    sub->sink->Release();
}

void notifierRegister(const std::shared_ptr<NotifierState> &state)
{
  std::lock_guard<std::mutex> guard(registryLock);
  registry.erase(std::remove_if(registry.begin(), registry.end(),
                                [](const auto &w) { return w.expired(); }),
                 registry.end());
  registry.push_back(state);
}

} // namespace qm_mapi

bool MAPIWaitForNotifications(DWORD timeoutMs)
{
  using namespace qm_mapi;
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  // A delivery may post to another session; repeat until one round finds
  // every notifier idle without having to wait.
  for (;;) {
    std::vector<std::shared_ptr<NotifierState>> live;
    {
      std::lock_guard<std::mutex> guard(registryLock);
      for (const auto &w : registry)
        if (auto s = w.lock())
          live.push_back(std::move(s));
    }
    bool waited = false;
    for (const auto &state : live) {
      std::unique_lock<std::mutex> guard(state->lock);
      auto idle = [&] { return state->stopping || (state->queue.empty() && !state->delivering); };
      if (idle())
        continue;
      waited = true;
      if (!state->changed.wait_until(guard, deadline, idle))
        return false;
    }
    if (!waited)
      return true;
  }
}
