#include "tools/rulestool/rule_options.h"

#include "platform/text/wstr.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <set>

const char *const RULE_OPTIONS_HELP = R"(Rule options (add, edit). Words match case-insensitively, anywhere, in any order;
all must occur:
  --mailbox NAME          only this store's mail ("" for every store)
  --from WORDS            sender's address or name ("" for none)
  --known-users           the sender must be a known sender
  --to WORDS              the To line, or else the CC line ("" for none)
  --subject WORDS         the subject ("" for none)
  --at-most KB            size at most KB kilobytes
  --at-least KB           size at least KB kilobytes
  --any-size              no size condition
  --older-than MINUTES    delivered (or, with --read, read) more than MINUTES
                          ago; 0 for none
  --read, --no-read       the message has been read / no read condition
  --attachments, --no-attachments
                          the message has attachments / no such condition
Actions:
  --move-to FOLDER        move to the folder of that name (made when missing)
  --delete                delete (move to Deleted Items)
  --no-move               neither move nor delete
  --download, --no-download
                          have a header-only message downloaded in full
  --mark-read, --no-mark-read
                          mark the message as read
  --sound FILE            play this sound file (a full path; "" for none)
  --program FILE          start this program (a full path; "" for none)
  --enable, --disable     take part in sorting, or not (add: enabled)
Texts hold at most 127 characters; a longer one is refused, not cut.
)";

namespace {

enum class Kind { Text, Path, Number, Flag };

// One option: what it sets and how.
struct Option {
  const char *name;  // as typed
  Kind kind;         // the kind of value it takes
  const char *field; // the field it changes (two options of one field contradict)
};

const Option OPTIONS[] = {
    {"--mailbox", Kind::Text, "mailbox"},       {"--from", Kind::Text, "from"},
    {"--known-users", Kind::Flag, "from"},      {"--to", Kind::Text, "to"},
    {"--subject", Kind::Text, "subject"},       {"--at-most", Kind::Number, "size"},
    {"--at-least", Kind::Number, "size"},       {"--any-size", Kind::Flag, "size"},
    {"--older-than", Kind::Number, "age"},      {"--read", Kind::Flag, "read"},
    {"--no-read", Kind::Flag, "read"},          {"--attachments", Kind::Flag, "attach"},
    {"--no-attachments", Kind::Flag, "attach"}, {"--move-to", Kind::Text, "move"},
    {"--delete", Kind::Flag, "move"},           {"--no-move", Kind::Flag, "move"},
    {"--download", Kind::Flag, "download"},     {"--no-download", Kind::Flag, "download"},
    {"--mark-read", Kind::Flag, "markread"},    {"--no-mark-read", Kind::Flag, "markread"},
    {"--sound", Kind::Path, "sound"},           {"--program", Kind::Path, "program"},
    {"--enable", Kind::Flag, "enabled"},        {"--disable", Kind::Flag, "enabled"},
};

const Option *findOption(const std::string &name)
{
  for (const Option &o : OPTIONS)
    if (name == o.name)
      return &o;
  return nullptr;
}

// Sets a text field, the units after the terminator cleared. False when
// the value is not UTF-8 or longer than 127 units.
bool setText(WCHAR (&field)[RULE_TEXT_CHARS], const std::string &value, const std::string &option,
             std::string *error)
{
  std::u16string text = utf8ToUtf16(value);
  if (utf16ToUtf8(text) != value) {
    *error = option + ": the value is not valid UTF-8 text";
    return false;
  }
  if (text.find(u'\0') != std::u16string::npos) {
    *error = option + ": the value holds a NUL character";
    return false;
  }
  if (text.size() > RULE_TEXT_CHARS - 1) {
    *error = option + ": " + std::to_string(text.size()) + " characters; a rule's text holds at most " +
             std::to_string(RULE_TEXT_CHARS - 1);
    return false;
  }
  std::memset(field, 0, sizeof field);
  wstrCopy(field, RULE_TEXT_CHARS, text);
  return true;
}

// A whole decimal number from 0 to max, digits only.
bool parseNumber(const std::string &value, long max, long *out)
{
  if (value.empty() || value.size() > 12 || value.find_first_not_of("0123456789") != std::string::npos)
    return false;
  long n = std::strtol(value.c_str(), nullptr, 10);
  if (n > max)
    return false;
  *out = n;
  return true;
}

bool applyNumber(const std::string &name, const std::string &value, Rule *rule, std::string *error)
{
  long n = 0;
  if (name == "--older-than") {
    if (!parseNumber(value, 2147483647L, &n)) {
      *error = name + ": \"" + value + "\" is not a number of minutes from 0 to 2147483647";
      return false;
    }
    rule->olderThan = static_cast<LONG>(n);
    return true;
  }
  if (!parseNumber(value, MAX_SIZE_KB, &n) || n == 0) {
    *error = name + ": \"" + value + "\" is not a number of kilobytes from 1 to " + std::to_string(MAX_SIZE_KB);
    return false;
  }
  rule->sizeLimit = static_cast<LONG>(name == "--at-most" ? -n * 1024 : n * 1024);
  return true;
}

void applyFlag(const std::string &name, Rule *rule)
{
  if (name == "--known-users") {
    std::memset(rule->from, 0, sizeof rule->from);
    wstrCopy(rule->from, RULE_TEXT_CHARS, KNOWN_USERS_MARKER);
  } else if (name == "--any-size") {
    rule->sizeLimit = 0;
  } else if (name == "--read" || name == "--no-read") {
    rule->isRead = name == "--read";
  } else if (name == "--attachments" || name == "--no-attachments") {
    rule->hasAttach = name == "--attachments";
  } else if (name == "--delete") {
    std::memset(rule->moveTo, 0, sizeof rule->moveTo);
    wstrCopy(rule->moveTo, RULE_TEXT_CHARS, DELETE_MARKER);
  } else if (name == "--no-move") {
    std::memset(rule->moveTo, 0, sizeof rule->moveTo);
  } else if (name == "--download" || name == "--no-download") {
    rule->download = name == "--download";
  } else if (name == "--mark-read" || name == "--no-mark-read") {
    rule->markAsRead = name == "--mark-read";
  } else if (name == "--enable" || name == "--disable") {
    rule->enabled = name == "--enable";
  }
}

WCHAR (&textField(const std::string &name, Rule *rule))[RULE_TEXT_CHARS]
{
  if (name == "--mailbox")
    return rule->mailbox;
  if (name == "--from")
    return rule->from;
  if (name == "--to")
    return rule->to;
  if (name == "--subject")
    return rule->subject;
  if (name == "--sound")
    return rule->playSound;
  if (name == "--program")
    return rule->execute;
  return rule->moveTo;
}

} // namespace

bool applyRuleOptions(const std::vector<std::string> &args, std::size_t first, Rule *rule, std::string *error)
{
  Rule changed = *rule;
  std::set<std::string> fields; // fields set so far
  for (std::size_t i = first; i < args.size(); ++i) {
    const std::string &name = args[i];
    const Option *option = findOption(name);
    if (!option) {
      *error = "unknown option " + name + " (qm-rules --help lists them)";
      return false;
    }
    if (!fields.insert(option->field).second) {
      *error = name + ": the rule's " + option->field + " is given twice";
      return false;
    }
    if (option->kind == Kind::Flag) {
      applyFlag(name, &changed);
      continue;
    }
    if (i + 1 >= args.size()) {
      *error = name + " needs a value";
      return false;
    }
    const std::string &value = args[++i];
    if (option->kind == Kind::Number) {
      if (!applyNumber(name, value, &changed, error))
        return false;
      continue;
    }
    if (option->kind == Kind::Path && !value.empty() && value[0] != '/') {
      *error = name + ": give the file's full path (\"" + value + "\" does not begin with /)";
      return false;
    }
    if (name == "--move-to" && value.empty()) {
      *error = "--move-to needs a folder name (--no-move takes the move away)";
      return false;
    }
    if (!setText(textField(name, &changed), value, name, error))
      return false;
  }
  *rule = changed;
  return true;
}
