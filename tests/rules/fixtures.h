// Fixtures that give every test an empty rule list, an empty known-users
// list with its lock, clean dirty flags and a temporary data root.
#pragma once

#include "rules/known_users.h"
#include "rules/rule_list.h"
#include "tests/support/temp_root.h"

class RulesTest : public TempRootTest {
protected:
  void SetUp() override
  {
    TempRootTest::SetUp();
    clearRules();
    rulesDirty = 0;
  }
  void TearDown() override
  {
    clearRules();
    rulesDirty = 0;
    TempRootTest::TearDown();
  }
};

class KnownUsersTest : public TempRootTest {
protected:
  void SetUp() override
  {
    TempRootTest::SetUp();
    createKnownUsersLock();
    knownUsersDirty = 0;
  }
  void TearDown() override
  {
    knownUsersDirty = 0;
    deleteKnownUsersLock(); // frees the list too
    TempRootTest::TearDown();
  }
};
