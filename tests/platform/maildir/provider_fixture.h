// A Maildir provider session on a temporary data root, with the events it
// posts collected for bounded waits.
#pragma once

#include "platform/maildir/delivery.h"
#include "platform/maildir/entry_id.h"
#include "platform/maildir/maildir_provider.h"
#include "platform/maildir/message_summary.h"
#include "platform/maildir/side_file.h"
#include "platform/maildir/store_layout.h"
#include "platform/mapi/mapitags.h"

#include "tests/support/temp_root.h"

#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

// Events posted by a session.
struct EventLog {
  // The longest wait for an event: an event comes within milliseconds, but
  // under ThreadSanitizer on a busy machine the watching thread may not run
  // for seconds.
  static constexpr std::chrono::seconds WAIT{30};
  std::mutex lock;               // guards events
  std::condition_variable added; // an event came
  std::vector<MapiEvent> events; // in posting order
  ULONG largestPost = 0;          // the most events one post carried

  static void post(void *log, const MapiEvent *events, ULONG count, bool)
  {
    auto *self = static_cast<EventLog *>(log);
    std::lock_guard<std::mutex> g(self->lock);
    self->largestPost = std::max(self->largestPost, count);
    self->events.insert(self->events.end(), events, events + count);
    self->added.notify_all();
  }

  // Waits at most WAIT for an event that passes `match`; true when it came.
  bool waitFor(const std::function<bool(const MapiEvent &)> &match)
  {
    std::unique_lock<std::mutex> g(lock);
    return added.wait_for(g, WAIT, [&] {
      for (const MapiEvent &e : events)
        if (match(e))
          return true;
      return false;
    });
  }

  // Waits at most WAIT until `enough` holds for the events; true when it did.
  bool waitUntil(const std::function<bool(const std::vector<MapiEvent> &)> &enough)
  {
    std::unique_lock<std::mutex> g(lock);
    return added.wait_for(g, WAIT, [&] { return enough(events); });
  }

  // Events so far that pass `match`.
  int count(const std::function<bool(const MapiEvent &)> &match)
  {
    std::lock_guard<std::mutex> g(lock);
    return countIn(events, match);
  }

  static int countIn(const std::vector<MapiEvent> &events,
                     const std::function<bool(const MapiEvent &)> &match)
  {
    int n = 0;
    for (const MapiEvent &e : events)
      n += match(e) ? 1 : 0;
    return n;
  }

  void clear()
  {
    std::lock_guard<std::mutex> g(lock);
    events.clear();
  }
};

// Matches an event by type and object id.
inline std::function<bool(const MapiEvent &)> eventIs(ULONG type, const MapiEntryBytes &id)
{
  return [=](const MapiEvent &e) { return e.eventType == type && e.id == id; };
}

// A message text.
inline std::string mailText(const std::string &subject, const std::string &extraHeaders = {},
                            const std::string &body = "hello\r\n")
{
  return "From: Ann Example <ann@example.org>\r\nTo: bob@example.org\r\nSubject: " + subject +
         "\r\n" + extraHeaders + "\r\n" + body;
}

// Writes a file, making its folders.
inline void putFile(const std::filesystem::path &p, const std::string &text)
{
  std::filesystem::create_directories(p.parent_path());
  std::ofstream(p, std::ios::binary) << text;
}

class MaildirTest : public TempRootTest {
protected:
  void TearDown() override
  {
    logoff();
    TempRootTest::TearDown();
  }

  void logon(MaildirOptions options = {})
  {
    provider = createMaildirProvider(options);
    sink.post = &EventLog::post;
    sink.frontEnd = &log;
    ASSERT_EQ(provider->logon(provider->backend, &sink, &session), S_OK);
  }

  // Ends the session and its provider.
  void logoff()
  {
    if (session)
      provider->logoff(session);
    session = nullptr;
    destroyMaildirProvider(provider);
    provider = nullptr;
  }

  std::filesystem::path mail() const { return root / "Mail"; }

  static MapiEntryBytes folderIdOf(const std::string &store, std::vector<std::string> folder)
  {
    return encodeMaildirId(folderId(store, std::move(folder)));
  }
  static MapiEntryBytes messageIdOf(const std::string &store, std::vector<std::string> folder,
                                    const std::string &unique)
  {
    return encodeMaildirId(messageId(store, std::move(folder), unique));
  }

  // Delivers into a folder of store "Local" as another program would.
  std::string deliver(std::vector<std::string> folder, const std::string &text, bool headerOnly = false,
                      DeliveryOptions options = {})
  {
    auto u = deliverToStore(DeliveryTarget{mail(), root / "Transport", "Local", std::move(folder)},
                            text, headerOnly, options);
    EXPECT_TRUE(u);
    return u ? *u : std::string();
  }

  std::vector<MapiEntryBytes> messages(const MapiEntryBytes &folder)
  {
    std::vector<MapiEntryBytes> out;
    EXPECT_EQ(provider->listMessages(session, folder, &out), S_OK);
    return out;
  }

  HRESULT get(const MapiEntryBytes &id, ULONG tag, MapiValue *v)
  {
    return provider->getProp(session, id, tag, v);
  }
  LONG getLong(const MapiEntryBytes &id, ULONG tag)
  {
    MapiValue v;
    EXPECT_EQ(get(id, tag, &v), S_OK);
    return v.l;
  }
  std::u16string getText(const MapiEntryBytes &id, ULONG tag)
  {
    MapiValue v;
    EXPECT_EQ(get(id, tag, &v), S_OK);
    return v.text;
  }

  // Every file below a directory, relative to it, sorted.
  static std::vector<std::string> filesBelow(const std::filesystem::path &dir)
  {
    std::vector<std::string> out;
    for (const auto &e : std::filesystem::recursive_directory_iterator(dir))
      if (!e.is_directory())
        out.push_back(std::filesystem::relative(e.path(), dir).string());
    std::sort(out.begin(), out.end());
    return out;
  }

  MapiProvider *provider = nullptr; // the provider under test
  void *session = nullptr;          // its session
  MapiEventSink sink{};             // posts into log
  EventLog log;                     // what the session posted
};
