// The mail engine's test bench: a memory messaging world, the test clock,
// recorded sounds, programs and message boxes, the program's strings, and
// compact builders for rules and for reading a store back as folder paths.
#pragma once

#include "services/resources.h"
#include "services/settings.h"
#include "engine/pass.h"
#include "engine/session.h"
#include "engine/store_watcher.h"
#include "platform/clock/clock.h"
#include "platform/mapi/mapix.h"
#include "platform/mapi/memory/memory_mapi.h"
#include "platform/module/module.h"
#include "platform/shell/msgbox.h"
#include "platform/shell/shell.h"
#include "platform/text/wstr.h"
#include "rules/known_users.h"
#include "rules/read_age.h"
#include "rules/rule_list.h"
#include "tests/support/temp_root.h"
#include "ui/resources/program_resources.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

// 2024-01-01 00:00:00 UTC as a file time.
inline constexpr ULONGLONG SCENE_START_TIME = 133485408000000000ULL;
// The tick count the test clock starts at.
inline constexpr DWORD SCENE_START_TICK = 5'000'000;
// Bound of every wait for the notification thread (never reached when all is well).
inline constexpr DWORD SCENE_WAIT_MS = 30000;

// A rule, field by field; empty texts are absent conditions and actions.
struct RuleFields {
  std::u16string from = u"";
  std::u16string to = u"";
  std::u16string subject = u"";
  std::u16string moveTo = u"";
  bool isRead = false;
  LONG olderThan = 0;
  LONG sizeLimit = 0;
  bool hasAttach = false;
  bool download = false;
  bool markAsRead = false;
  std::u16string playSound = u"";
  std::u16string execute = u"";
  std::u16string mailbox = u"";
  bool enabled = true;
};

// Appends a rule built from fields to the rule list.
inline Rule *addRule(const RuleFields &fields)
{
  Rule *r = newRule();
  r->enabled = fields.enabled ? 1 : 0;
  wstrCopy(r->mailbox, RULE_TEXT_CHARS, fields.mailbox);
  wstrCopy(r->from, RULE_TEXT_CHARS, fields.from);
  wstrCopy(r->to, RULE_TEXT_CHARS, fields.to);
  wstrCopy(r->subject, RULE_TEXT_CHARS, fields.subject);
  r->sizeLimit = fields.sizeLimit;
  r->olderThan = fields.olderThan;
  r->isRead = fields.isRead ? 1 : 0;
  r->hasAttach = fields.hasAttach ? 1 : 0;
  wstrCopy(r->moveTo, RULE_TEXT_CHARS, fields.moveTo);
  wstrCopy(r->playSound, RULE_TEXT_CHARS, fields.playSound);
  wstrCopy(r->execute, RULE_TEXT_CHARS, fields.execute);
  r->download = fields.download ? 1 : 0;
  r->markAsRead = fields.markAsRead ? 1 : 0;
  appendRule(r);
  return r;
}

// The folder's path below its store's top folder ("Inbox/Work"); "" for the top.
inline std::string folderPath(MemFolder *folder)
{
  std::string path;
  for (MemFolder *f = folder; f && memParentFolder(f); f = memParentFolder(f))
    path = utf16ToUtf8(memName(f)) + (path.empty() ? "" : "/" + path);
  return path;
}

// Where a message is now: its folder's path, or "(removed)".
inline std::string where(MemMessage *message)
{
  MemFolder *folder = memFolderOf(message);
  return folder ? folderPath(folder) : "(removed)";
}

// Creates the folders of a path ("Archive/Work") below the store's top folder
// where they are missing; returns the last one.
inline MemFolder *ensureFolder(MemStore *store, const std::u16string &path)
{
  MemFolder *folder = memTop(store);
  std::size_t start = 0;
  while (start <= path.size()) {
    std::size_t slash = path.find(u'/', start);
    std::u16string name = path.substr(start, slash == std::u16string::npos ? std::u16string::npos : slash - start);
    MemFolder *child = memChild(folder, name);
    folder = child ? child : memAddFolder(folder, name);
    if (slash == std::u16string::npos)
      break;
    start = slash + 1;
  }
  return folder;
}

inline LONG statusOf(MemMessage *m) { return memGetLong(memObject(m), PR_MSG_STATUS); }
inline bool isReadInStore(MemMessage *m) { return (memGetLong(memObject(m), PR_MESSAGE_FLAGS) & MSGFLAG_READ) != 0; }

// The watcher of the store with this display name, or null.
inline StoreWatcher *watcherOf(const std::u16string &name)
{
  for (WatcherNode *node = watcherList; node; node = node->next) {
    const WCHAR *storeName = storeDisplayName(node->watcher);
    if (storeName && name == storeName)
      return node->watcher;
  }
  return nullptr;
}

// Records cached by a watcher.
inline std::size_t cachedRecords(StoreWatcher *watcher)
{
  CriticalSectionGuard guard(&watcher->recordLock);
  return cacheSize(&watcher->records);
}

// Every engine test: a fresh data root, a fresh installed memory world, the
// clock frozen, the shell and message boxes recorded, empty rule and known
// users lists. The session is closed and everything undone afterwards.
class EngineTest : public TempRootTest {
protected:
  static void SetUpTestSuite()
  {
    HMODULE self = GetModuleHandleW(nullptr);
    registerProgramResources(self);
    resourceModule = self;
  }

  void SetUp() override
  {
    TempRootTest::SetUp();
    clockSetForTest(SCENE_START_TICK, SCENE_START_TIME);
    shellRecordForTest();
    messageBoxRecordForTest(IDOK);
    createReadAgeLock();
    createKnownUsersLock();
    maxDownloadKB = 0;
    mem = std::make_unique<MemInstall>();
  }

  void TearDown() override
  {
    closeSession();
    EXPECT_EQ(memOpenSessions(mem->world), 0u);
    mem.reset();
    clearRules();
    clearKnownUsers();
    deleteKnownUsersLock();
    deleteReadAgeLock();
    maxDownloadKB = 0;
    messageBoxUseReal();
    shellUseReal();
    clockUseReal();
    TempRootTest::TearDown();
  }

  MemWorld *world() const { return mem->world; }

  // Waits until the notification thread has handled everything posted so far.
  static void settle() { ASSERT_TRUE(MAPIWaitForNotifications(SCENE_WAIT_MS)); }

  // One timer tick after ms milliseconds: the clock moves on, every store is
  // revisited, and what the revisit caused has been handled.
  static void tick(DWORD ms = 5000)
  {
    clockAdvance(ms);
    revisitAllStores();
    settle();
  }

  std::unique_ptr<MemInstall> mem; // the installed world
};
