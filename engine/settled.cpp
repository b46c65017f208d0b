#include "engine/settled.h"

#include "engine/action_plan.h"
#include "platform/text/wstr.h"
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
  std::int32_t age = slot->record->ageMinutes;
  return slot->settledEpoch == state.epoch && age <= slot->settledUpToAge && age >= slot->settledFromAge &&
         (slot->settledKnownUsers == 0 || slot->settledKnownUsers == knownUsersGeneration());
}

void noteWinner(Verdict *verdict, const MessageInfo *record, const Rule *winner)
{
  // The same tests as the action stages: an empty plan is a run that writes,
  // moves, sounds and starts nothing.
  verdict->winnerIdle = planRuleActions(record, winner).empty();
  // The read-age step is tested only for a read rule that waits or moves
  // (a partial message exempt from it has a move planned: never idle).
  verdict->winnerReadAge = winner->isRead && (winner->olderThan != 0 || winner->moveTo[0]);
  verdict->winnerKnownUsers = wstrCmp(winner->from, KNOWN_USERS_MARKER) == 0;
  verdict->winnerFromAge = !winner->isRead && winner->olderThan != 0 ? winner->olderThan + 1 : INT32_MIN;
}

void noteVerdict(RecordSlot *slot, const Verdict &verdict)
{
  if (verdict.epoch == 0 || verdict.outlook.readAge ||
      (verdict.won && (!verdict.winnerIdle || verdict.winnerReadAge))) {
    unsettle(slot);
    return;
  }
  slot->settledEpoch = verdict.epoch;
  slot->settledUpToAge = verdict.outlook.ageAbove;
  slot->settledFromAge = verdict.won ? verdict.winnerFromAge : INT32_MIN;
  bool knownUsers = verdict.outlook.knownUsers || (verdict.won && verdict.winnerKnownUsers);
  slot->settledKnownUsers = knownUsers ? verdict.knownUsers : 0;
}

void unsettle(RecordSlot *slot) { slot->settledEpoch = 0; }
