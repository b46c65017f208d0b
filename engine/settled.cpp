#include "engine/settled.h"

#include "rules/known_users.h"
#include "rules/rule_list.h"
#include "services/settings.h"

std::uint64_t settleKeyNow()
{
  constexpr std::uint64_t MULTIPLIER = 0x9E3779B97F4A7C15ull;
  auto limit = static_cast<std::uint32_t>(maxDownloadKB.load());
  return (ruleListFingerprint() ^ limit) * MULTIPLIER;
}

void retakeSettleKey(SettleState *state)
{
  std::uint64_t key = settleKeyNow();
  if (key == state->key)
    return;
  state->key = key;
  state->epoch = state->epoch + 1 == 0 ? 1 : state->epoch + 1;
}

bool isSettled(const SettleState &state, const RecordSlot *slot)
{
  return slot->settledEpoch == state.epoch && slot->record->ageMinutes <= slot->settledUpToAge &&
         (slot->settledKnownUsers == 0 || slot->settledKnownUsers == knownUsersGeneration());
}

void noteVerdict(RecordSlot *slot, const Verdict &verdict)
{
  if (verdict.epoch == 0 || verdict.won || verdict.outlook.readAge) {
    unsettle(slot);
    return;
  }
  slot->settledEpoch = verdict.epoch;
  slot->settledUpToAge = verdict.outlook.ageAbove;
  slot->settledKnownUsers = verdict.outlook.knownUsers ? verdict.knownUsers : 0;
}

void unsettle(RecordSlot *slot) { slot->settledEpoch = 0; }
