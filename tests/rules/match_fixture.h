// A fixture for rule matching: empty known users and read-age table, a
// frozen clock, no download limit, a fresh checkpoint cache; and helpers
// that build messages and rules.
#pragma once

#include "services/checkpoint.h"
#include "services/settings.h"
#include "platform/clock/clock.h"
#include "rules/message_info.h"
#include "rules/read_age.h"
#include "rules/rule_list.h"
#include "tests/rules/fixtures.h"

#include <memory>

// 2024-01-01 00:00:00 UTC as a file time.
constexpr ULONGLONG MATCH_TEST_EPOCH = 133485408000000000ull;

struct MessageDeleter {
  void operator()(MessageInfo *m) const { freeMessageInfo(m); }
};
using MessagePtr = std::unique_ptr<MessageInfo, MessageDeleter>;

struct RuleDeleter {
  void operator()(Rule *r) const { freeRule(r); }
};
using RulePtr = std::unique_ptr<Rule, RuleDeleter>;

class MatchTest : public KnownUsersTest {
protected:
  void SetUp() override
  {
    KnownUsersTest::SetUp();
    createReadAgeLock();
    clockSetForTest(1000, MATCH_TEST_EPOCH);
    maxDownloadKB = 0;
    forgetCheckpointCache();
  }
  void TearDown() override
  {
    deleteReadAgeLock();
    clockUseReal();
    maxDownloadKB = 0;
    forgetCheckpointCache();
    KnownUsersTest::TearDown();
  }

  // A message with a one-byte entry id (id), 1000 bytes, read.
  static MessagePtr message(BYTE id = 1)
  {
    MessagePtr m(newMessageInfo(1, &id));
    m->size = 1000;
    m->messageFlags = 0x1;
    return m;
  }

  // An enabled rule without conditions or actions.
  static RulePtr rule()
  {
    RulePtr r(newRule());
    r->enabled = 1;
    return r;
  }
};
