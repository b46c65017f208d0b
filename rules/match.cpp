#include "rules/match.h"

#include "services/checkpoint.h"
#include "services/settings.h"
#include "platform/mapi/mapidefs.h"
#include "platform/text/wstr.h"
#include "rules/known_users.h"
#include "rules/read_age.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstring>
#include <string_view>

namespace {

// A read message is moved no earlier than this after it was first seen read.
constexpr std::int32_t READ_MOVE_DELAY_SECONDS = 30;

bool isEmpty(const WCHAR *text) { return text[0] == 0; }

// Eight UTF-16 units, for lower-casing plain ASCII a block at a time.
using Units8 = std::uint16_t __attribute__((vector_size(16)));

// The platform's lower case of text[0..n), in place: every pass lower-cases
// every tested text once per rule that tests it, so ASCII letters are done
// here, eight units at a time, and only other units ask the platform.
void lowerInPlace(WCHAR *text, std::size_t n)
{
  Units8 seen = {};
  std::size_t i = 0;
  for (; i + 8 <= n; i += 8) {
    Units8 v;
    std::memcpy(&v, text + i, sizeof v);
    seen |= v;
    Units8 offset = v - static_cast<std::uint16_t>(u'A');
    Units8 upper = offset < static_cast<std::uint16_t>(26); // all ones where A..Z
    v += upper & static_cast<std::uint16_t>(32);
    std::memcpy(text + i, &v, sizeof v);
  }
  unsigned wide = 0;
  for (int k = 0; k < 8; ++k)
    wide |= seen[k];
  for (; i < n; ++i) {
    WCHAR c = text[i];
    wide |= c;
    text[i] = static_cast<WCHAR>(c + (static_cast<unsigned>(c - u'A') < 26u ? 32 : 0));
  }
  if (wide >= 0x80)
    for (i = 0; i < n; ++i)
      if (text[i] >= 0x80)
        text[i] = toLowerUnit(text[i]);
}

// What the program's matching records: nothing, at no cost.
struct NoTrace {
  void step(MatchStep, bool) {}
  void read(ReadState) {}
  void readAge(std::int32_t, std::int32_t) {}
  void ageFailed(std::int32_t) {}
  void readAgeFailed() {}
  void knownUsersFailed() {}
};

// What the pass records: which failure could turn by itself.
struct Outlook : NoTrace {
  explicit Outlook(MatchOutlook *o) : outlook(o) {}
  MatchOutlook *outlook;
  void ageFailed(std::int32_t olderThan) { outlook->ageAbove = std::min(outlook->ageAbove, olderThan); }
  void readAgeFailed() { outlook->readAge = true; }
  void knownUsersFailed() { outlook->knownUsers = true; }
};

// What explaining records.
struct Tracer : NoTrace {
  explicit Tracer(MatchTrace *t) : trace(t) {}
  MatchTrace *trace;
  void step(MatchStep s, bool held) { trace->entries[trace->count++] = {s, held}; }
  void read(ReadState state) { trace->read = state; }
  void readAge(std::int32_t age, std::int32_t needed)
  {
    trace->readAge = age;
    trace->readAgeNeeded = needed;
  }
};

template <class Trace>
bool readAndAgeHold(MessageInfo *m, const Rule *rule, Trace &t)
{
  if (!rule->isRead) {
    if (rule->olderThan == 0)
      return true;
    bool held = m->ageMinutes > rule->olderThan;
    t.step(MatchStep::Age, held);
    if (!held)
      t.ageFailed(rule->olderThan);
    return held;
  }
  markCheckpoint(34);
  // A partial message that the rule would download and move is exempt: it
  // cannot be read before it has been downloaded.
  std::int64_t limitKB = maxDownloadKB.load();
  bool withinLimit = limitKB <= 0 || std::int64_t{m->size} <= limitKB * 1024;
  if (rule->download && withinLimit && (m->status & (MSGSTATUS_HEADERONLY | MSGSTATUS_PARTIAL)) &&
      !isEmpty(rule->moveTo)) {
    t.read(ReadState::Exempt);
    t.step(MatchStep::Read, true);
    return true;
  }
  if (!(m->messageFlags & MSGFLAG_READ)) {
    forgetReadAge(m->entryIdSize, m->entryId);
    t.read(ReadState::Unread);
    t.step(MatchStep::Read, false);
    return false;
  }
  if (m->status & MSGSTATUS_REMOTE_DOWNLOAD) {
    t.read(ReadState::MarkedForDownload);
    t.step(MatchStep::Read, false);
    return false;
  }
  t.step(MatchStep::Read, true);
  if (rule->olderThan == 0 && isEmpty(rule->moveTo))
    return true;
  std::int64_t needed = rule->olderThan != 0 ? std::int64_t{rule->olderThan} * 60 : READ_MOVE_DELAY_SECONDS;
  std::int32_t age = readAgeSeconds(m->entryIdSize, m->entryId);
  bool held = age > needed;
  t.readAge(age, static_cast<std::int32_t>(std::min<std::int64_t>(needed, INT32_MAX)));
  t.step(MatchStep::ReadAge, held);
  if (!held)
    t.readAgeFailed();
  return held;
}

int weightOf(const Rule *rule)
{
  int score = 0;
  if (rule->isRead)
    score += WEIGHT_IS_READ;
  if (!isEmpty(rule->subject))
    score += WEIGHT_SUBJECT;
  if (!isEmpty(rule->to))
    score += WEIGHT_TO;
  if (!isEmpty(rule->from))
    score += WEIGHT_FROM;
  if (rule->hasAttach)
    score += WEIGHT_HAS_ATTACH;
  if (rule->sizeLimit != 0)
    score += WEIGHT_SIZE;
  if (rule->olderThan != 0)
    score += WEIGHT_OLDER_THAN;
  return score;
}

} // namespace

bool containsAllWords(const WCHAR *ruleText, WCHAR *messageText)
{
  if (!ruleText || !messageText)
    return false;
  WCHAR words[RULE_TEXT_CHARS];
  std::size_t wordsLength = wstrCopy(words, RULE_TEXT_CHARS, ruleText);
  std::size_t messageLength = wstrLen(messageText);
  lowerInPlace(words, wordsLength);
  lowerInPlace(messageText, messageLength);
  std::u16string_view rest(words, wordsLength);
  std::u16string_view message(messageText, messageLength);
  if (rest.empty())
    return false;
  for (;;) {
    std::size_t space = rest.find(u' ');
    if (message.find(rest.substr(0, space)) == std::u16string_view::npos)
      return false;
    // The end of the text, or a trailing space, ends the pieces.
    if (space == std::u16string_view::npos || space + 1 == rest.size())
      return true;
    rest.remove_prefix(space + 1);
  }
}

namespace {

template <class Trace>
int matchWith(MessageInfo *m, const Rule *rule, Trace &t)
{
  markCheckpoint(31);
  if (!rule || !rule->enabled)
    return 0;
  markCheckpoint(32);

  if (rule->sizeLimit != 0) {
    std::int64_t size = m->size;
    bool held = rule->sizeLimit < 0 ? size <= -std::int64_t{rule->sizeLimit} : size >= rule->sizeLimit;
    t.step(MatchStep::Size, held);
    if (!held)
      return 0;
  }
  markCheckpoint(33);

  if (!readAndAgeHold(m, rule, t))
    return 0;

  markCheckpoint(35);
  if (rule->hasAttach) {
    t.step(MatchStep::Attachments, m->hasAttachments != 0);
    if (!m->hasAttachments)
      return 0;
  }
  markCheckpoint(36);

  if (!isEmpty(rule->from)) {
    markCheckpoint(37);
    bool held;
    if (wstrCmp(rule->from, KNOWN_USERS_MARKER) == 0) {
      markCheckpoint(38);
      held = isKnownUser(m->senderAddress);
      t.step(MatchStep::From, held);
      if (!held) {
        t.knownUsersFailed();
        return 0;
      }
      markCheckpoint(39);
    } else {
      markCheckpoint(40);
      held = containsAllWords(rule->from, m->senderAddress) || containsAllWords(rule->from, m->senderName);
      t.step(MatchStep::From, held);
      if (!held)
        return 0;
      markCheckpoint(41);
    }
  }

  markCheckpoint(42);
  if (!isEmpty(rule->subject)) {
    bool held = containsAllWords(rule->subject, m->messageSubject);
    t.step(MatchStep::Subject, held);
    if (!held)
      return 0;
  }
  markCheckpoint(43);

  if (!isEmpty(rule->to)) {
    markCheckpoint(44);
    bool held = containsAllWords(rule->to, m->toLine) || containsAllWords(rule->to, m->ccLine);
    t.step(MatchStep::To, held);
    if (!held)
      return 0;
    markCheckpoint(45);
  }

  if (!isEmpty(rule->body)) {
    markCheckpoint(46);
    markCheckpoint(47);
    t.step(MatchStep::Body, false);
    return 0;
  }
  markCheckpoint(47);

  markCheckpoint(48);
  return weightOf(rule);
}

} // namespace

int matchRule(MessageInfo *m, const Rule *rule)
{
  NoTrace none;
  return matchWith(m, rule, none);
}

int matchRule(MessageInfo *m, const Rule *rule, MatchOutlook *outlook)
{
  Outlook watch(outlook);
  return matchWith(m, rule, watch);
}

int matchRuleTraced(MessageInfo *m, const Rule *rule, MatchTrace *trace)
{
  *trace = MatchTrace{};
  Tracer tracer{trace};
  return matchWith(m, rule, tracer);
}
