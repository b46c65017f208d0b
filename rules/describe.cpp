#include "rules/describe.h"

#include "services/resources.h"
#include "services/string_ids.h"
#include "platform/text/wstr.h"

#include <iterator>

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
  // Each text's string id beside the field it fills.
  struct TextRow {
    UINT id;
    const WCHAR *DescriptionTexts::*field;
  };
  static constexpr TextRow rows[] = {
      {IDS_DESC_DELETE, &DescriptionTexts::deleteAction},
      {IDS_DESC_MOVE_TO, &DescriptionTexts::moveAction},
      {IDS_DESC_AND, &DescriptionTexts::joiner},
      {IDS_DESC_PLAY_SOUND, &DescriptionTexts::soundAction},
      {IDS_DESC_EXEC, &DescriptionTexts::execAction},
      {IDS_DESC_DOWNLOAD, &DescriptionTexts::downloadAction},
      {IDS_DESC_MARK_AS_READ, &DescriptionTexts::markReadAction},
      {IDS_DESC_NOTHING, &DescriptionTexts::noAction},
      {IDS_DESC_WHERE, &DescriptionTexts::where},
      {IDS_DESC_FROM, &DescriptionTexts::fromCondition},
      {IDS_KNOWN_USERS, &DescriptionTexts::knownUsers},
      {IDS_DESC_TO, &DescriptionTexts::toCondition},
      {IDS_DESC_SUBJECT, &DescriptionTexts::subjectCondition},
      {IDS_DESC_BODY, &DescriptionTexts::bodyCondition},
      {IDS_DESC_SMALLER, &DescriptionTexts::smallerCondition},
      {IDS_DESC_LARGER, &DescriptionTexts::largerCondition},
      {IDS_DESC_OLDER, &DescriptionTexts::olderCondition},
      {IDS_DESC_READ, &DescriptionTexts::readCondition},
      {IDS_DESC_HAS_ATTACH, &DescriptionTexts::attachCondition},
  };
  static_assert(sizeof(rows) / sizeof(rows[0]) == sizeof(DescriptionTexts) / sizeof(const WCHAR *),
                "one row per text");
  static const WCHAR *cached[std::size(rows)]; // loadString's slots
  DescriptionTexts texts{};
  for (std::size_t i = 0; i < std::size(rows); ++i)
    texts.*rows[i].field = loadString(rows[i].id, &cached[i]);
  return texts;
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
