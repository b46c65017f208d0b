#include "engine/action_plan.h"

#include "platform/mapi/mapidefs.h"
#include "platform/text/wstr.h"
#include "services/settings.h"

#include <cstdint>

bool isPartial(const MessageInfo *m) { return (m->status & (MSGSTATUS_HEADERONLY | MSGSTATUS_PARTIAL)) != 0; }

bool isMarkedForDownload(const MessageInfo *m) { return (m->status & MSGSTATUS_REMOTE_DOWNLOAD) != 0; }

bool isReadMessage(const MessageInfo *m) { return (m->messageFlags & MSGFLAG_READ) != 0; }

bool withinSizeLimit(const MessageInfo *m)
{
  std::int64_t limitKB = maxDownloadKB.load();
  return limitKB <= 0 || std::int64_t{m->size} <= limitKB * 1024;
}

bool requestsDownload(const MessageInfo *m, const Rule *rule)
{
  return rule->download && withinSizeLimit(m) && isPartial(m) && !isMarkedForDownload(m);
}

bool withdrawsDownload(const MessageInfo *m, const Rule *rule)
{
  return !rule->download && isMarkedForDownload(m) && isPartial(m);
}

bool waitsForDownload(const MessageInfo *m, const Rule *rule)
{
  return rule->download && withinSizeLimit(m) && isPartial(m);
}

std::vector<PlannedAction> planRuleActions(const MessageInfo *m, const Rule *rule)
{
  std::vector<PlannedAction> steps;
  bool sounded = false; // the sound plays at most once per evaluation, before the first stage that sounds
  auto sound = [&] {
    if (!sounded && rule->playSound[0])
      steps.push_back({PlannedStep::PlaySound, rule->playSound});
    sounded = true;
  };
  // The record as the stages leave it: only the fields they test. The rest
  // stays unread, lastSeen above all, which a revisit walk may be setting
  // while this record's owner plans.
  MessageInfo after{};
  after.size = m->size;
  after.status = m->status;
  after.messageFlags = m->messageFlags;
  if (requestsDownload(m, rule)) {
    sound();
    steps.push_back({PlannedStep::RequestDownload, nullptr});
    after.status |= MSGSTATUS_REMOTE_DOWNLOAD;
  } else if (withdrawsDownload(m, rule)) {
    steps.push_back({PlannedStep::WithdrawDownload, nullptr});
    after.status &= ~MSGSTATUS_REMOTE_DOWNLOAD;
  }
  if (waitsForDownload(&after, rule)) {
    steps.push_back({PlannedStep::WaitForDownload, nullptr});
    return steps;
  }
  if (rule->markAsRead && !isReadMessage(&after))
    steps.push_back({PlannedStep::MarkRead, nullptr});
  if (rule->moveTo[0]) {
    sound();
    if (wstrCmp(rule->moveTo, DELETE_MARKER) != 0)
      steps.push_back({PlannedStep::Move, rule->moveTo});
    else
      steps.push_back({isMarkedForDownload(&after) ? PlannedStep::DeleteHeld : PlannedStep::Delete, nullptr});
  }
  if (rule->execute[0]) {
    sound();
    steps.push_back({PlannedStep::Execute, rule->execute});
  }
  return steps;
}
