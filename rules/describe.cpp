#include "rules/describe.h"

#include "services/resources.h"
#include "services/string_ids.h"
#include "platform/text/wstr.h"

namespace {

// Appends the parts of one half of the line, joined by the joining word.
struct Joined {
  std::u16string *line; // the line being built
  const WCHAR *joiner;  // the joining word
  bool any = false;     // something was appended already

  void add(const std::u16string &part)
  {
    if (any) {
      *line += u' ';
      *line += joiner;
      *line += u' ';
    }
    *line += part;
    any = true;
  }
};

bool isEmpty(const WCHAR *text) { return text[0] == 0; }

} // namespace

DescriptionTexts descriptionTexts()
{
  static const WCHAR *slots[19];
  const UINT ids[19] = {IDS_DESC_DELETE,     IDS_DESC_MOVE_TO, IDS_DESC_AND,       IDS_DESC_PLAY_SOUND,
                        IDS_DESC_EXEC,       IDS_DESC_DOWNLOAD, IDS_DESC_MARK_AS_READ, IDS_DESC_NOTHING,
                        IDS_DESC_WHERE,      IDS_DESC_FROM,    IDS_KNOWN_USERS,    IDS_DESC_TO,
                        IDS_DESC_SUBJECT,    IDS_DESC_BODY,    IDS_DESC_SMALLER,   IDS_DESC_LARGER,
                        IDS_DESC_OLDER,      IDS_DESC_READ,    IDS_DESC_HAS_ATTACH};
  const WCHAR *t[19];
  for (int i = 0; i < 19; ++i)
    t[i] = loadString(ids[i], &slots[i]);
  return {t[0], t[1], t[2],  t[3],  t[4],  t[5],  t[6],  t[7],  t[8], t[9],
          t[10], t[11], t[12], t[13], t[14], t[15], t[16], t[17], t[18]};
}

std::u16string describeRuleWith(const Rule *rule, const DescriptionTexts &texts)
{
  std::u16string line;
  Joined actions{&line, texts.joiner};
  if (wstrCmp(rule->moveTo, DELETE_MARKER) == 0)
    actions.add(texts.deleteAction);
  else if (!isEmpty(rule->moveTo))
    actions.add(wformat(texts.moveAction, {rule->moveTo}));
  if (!isEmpty(rule->playSound))
    actions.add(texts.soundAction);
  if (!isEmpty(rule->execute))
    actions.add(texts.execAction);
  if (rule->download)
    actions.add(texts.downloadAction);
  if (rule->markAsRead)
    actions.add(texts.markReadAction);
  if (!actions.any)
    line = texts.noAction;

  line += u' ';
  line += texts.where;
  line += u' ';

  Joined conditions{&line, texts.joiner};
  if (!isEmpty(rule->from)) {
    const WCHAR *shown = wstrCmp(rule->from, KNOWN_USERS_MARKER) == 0 ? texts.knownUsers : rule->from;
    conditions.add(wformat(texts.fromCondition, {shown}));
  }
  if (!isEmpty(rule->to))
    conditions.add(wformat(texts.toCondition, {rule->to}));
  if (!isEmpty(rule->subject))
    conditions.add(wformat(texts.subjectCondition, {rule->subject}));
  if (!isEmpty(rule->body))
    conditions.add(wformat(texts.bodyCondition, {rule->body}));
  // Divided before negating, so that the smallest limit does not overflow.
  if (rule->sizeLimit < 0)
    conditions.add(wformat(texts.smallerCondition, {-(rule->sizeLimit / 1024)}));
  if (rule->sizeLimit > 0)
    conditions.add(wformat(texts.largerCondition, {rule->sizeLimit / 1024}));
  if (rule->olderThan != 0)
    conditions.add(wformat(texts.olderCondition, {rule->olderThan}));
  if (rule->isRead)
    conditions.add(texts.readCondition);
  if (rule->hasAttach)
    conditions.add(texts.attachCondition);

  if (line.size() > RULE_DESCRIPTION_CHARS - 1) {
    std::size_t keep = RULE_DESCRIPTION_CHARS - 1;
    if (line[keep - 1] >= 0xD800 && line[keep - 1] <= 0xDBFF)
      --keep;
    line.resize(keep);
  }
  return line;
}

std::u16string describeRule(const Rule *rule) { return describeRuleWith(rule, descriptionTexts()); }
