// Tells the mail list when an Inbox changes: subscribed to each store's
// Inbox (messages delivered, moved away, deleted, read), it posts one
// message to a window for a burst of changes, and posts again only after the
// window said it took it. The stores' notifications come on the messaging
// library's thread; the window reads the Inboxes again on its own.
#pragma once

#include "platform/mapi/mapix.h"
#include "platform/mapi/provider.h"

#include <atomic>
#include <vector>

class InboxWatch final : public IMAPIAdviseSink {
public:
  // A watch with one reference that posts `message` to `window`.
  static InboxWatch *create(HWND window, UINT message);

  // Subscribes to the Inbox of every store of the session not subscribed
  // yet (a store the program made after the host started, or whose Inbox
  // could not be opened before); returns how many were subscribed now.
  int adviseAll(IMAPISession *session);
  // Ends every subscription (before the session's logoff, or after it).
  void unadviseAll();
  // The window took the message: the next change posts it again.
  void taken() { pending_ = false; }

  HRESULT QueryInterface(REFIID riid, void **ppv) override;
  ULONG AddRef() override;
  ULONG Release() override;
  ULONG OnNotify(ULONG cNotif, LPNOTIFICATION lpNotifications) override;

private:
  InboxWatch(HWND window, UINT message) : window_(window), message_(message) {}
  ~InboxWatch() = default;

  struct Subscription {
    MapiEntryBytes id; // the store's entry id
    IMsgStore *store;  // referenced until unadviseAll
    ULONG connection;  // from Advise
  };

  std::atomic<ULONG> references_{1};
  std::atomic<bool> pending_{false};       // posted and not yet taken
  HWND window_;                            // where the message goes
  UINT message_;                           // what is posted
  std::vector<Subscription> subscriptions_; // changed only on the window's thread
};
