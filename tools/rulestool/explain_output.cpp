// The explanation as text for a person and as JSON for scripts.
#include "tools/rulestool/explain.h"

#include "platform/text/wstr.h"

#include <cstdio>
#include <ostream>
#include <string_view>

namespace {

std::string utf8(const WCHAR *text) { return utf16ToUtf8(text); }

std::string kilobytes(std::int64_t bytes) { return std::to_string(bytes / 1024) + " K"; }

std::string jsonString(const std::string &s)
{
  std::string out = "\"";
  for (unsigned char c : s) {
    switch (c) {
    case '"': out += "\\\""; break;
    case '\\': out += "\\\\"; break;
    case '\n': out += "\\n"; break;
    case '\r': out += "\\r"; break;
    case '\t': out += "\\t"; break;
    default:
      if (c < 0x20) {
        char buf[8];
        std::snprintf(buf, sizeof buf, "\\u%04x", c);
        out += buf;
      } else {
        out += static_cast<char>(c);
      }
    }
  }
  return out + "\"";
}

std::string stateOf(const MessageResult &m)
{
  std::string s = m.read ? "read" : "unread";
  if (m.partial)
    s += m.marked ? ", header only, download asked for" : ", header only";
  return s;
}

// One line per rule: its number, state and line, then "=>" and the score
// with the conditions tested.
void printRule(const RuleResult &rule, const MessageInfo &original, std::ostream &out)
{
  out << "  rule " << rule.position << (rule.enabled ? " [x] " : " [ ] ") << *rule.description << " => ";
  if (rule.skipped[0]) {
    out << "not scored: " << (std::string_view(rule.skipped) == "disabled" ? "disabled" : "for another mailbox")
        << "\n";
    return;
  }
  out << rule.score;
  if (rule.trace.count == 0 && rule.score == 0)
    out << "; no condition";
  for (int i = 0; i < rule.trace.count; ++i) {
    const MatchTrace::Entry &c = rule.trace.entries[i];
    out << (c.held ? "; held " : "; FAILED ") << conditionName(c.step) << " ("
        << conditionDetail(c, rule, original) << ")";
  }
  out << "\n";
}

} // namespace

const char *conditionName(MatchStep step)
{
  switch (step) {
  case MatchStep::Size: return "size";
  case MatchStep::Read: return "read";
  case MatchStep::ReadAge: return "read-age";
  case MatchStep::Age: return "age";
  case MatchStep::Attachments: return "attachments";
  case MatchStep::From: return "from";
  case MatchStep::Subject: return "subject";
  case MatchStep::To: return "to";
  case MatchStep::Body: return "body";
  }
  return "";
}

std::string conditionDetail(const MatchTrace::Entry &entry, const RuleResult &result, const MessageInfo &m)
{
  const Rule *rule = result.rule;
  const MatchTrace &trace = result.trace;
  switch (entry.step) {
  case MatchStep::Size:
    return (rule->sizeLimit < 0 ? "at most " + kilobytes(-std::int64_t{rule->sizeLimit})
                                : "at least " + kilobytes(rule->sizeLimit)) +
           "; the message has " + std::to_string(m.size) + " bytes";
  case MatchStep::Read:
    return trace.read == ReadState::IsRead   ? "the message has been read"
           : trace.read == ReadState::Exempt ? "not tested: only part of the message is here, and the rule "
                                               "downloads and moves it"
           : trace.read == ReadState::Unread ? "the message has not been read"
                                             : "the message is marked for download";
  case MatchStep::ReadAge:
    return "read for more than " + std::to_string(trace.readAgeNeeded) +
           " s, counted from the first time the program sees it read (this look counts as that time)";
  case MatchStep::Age:
    return "older than " + std::to_string(rule->olderThan) + " min; the message is " +
           std::to_string(m.ageMinutes) + " min old";
  case MatchStep::Attachments:
    return m.hasAttachments ? "the message has attachments" : "the message has no attachments";
  case MatchStep::From:
    return wstrCmp(rule->from, KNOWN_USERS_MARKER) == 0
               ? utf8(m.senderAddress) + (entry.held ? " is a known sender" : " is not a known sender")
               : "all of \"" + utf8(rule->from) + "\" in " + utf8(m.senderAddress) + " or in \"" +
                     utf8(m.senderName) + "\"";
  case MatchStep::Subject:
    return "all of \"" + utf8(rule->subject) + "\" in \"" + utf8(m.messageSubject) + "\"";
  case MatchStep::To:
    return "all of \"" + utf8(rule->to) + "\" in To \"" + utf8(m.toLine) + "\" or in CC \"" + utf8(m.ccLine) +
           "\"";
  case MatchStep::Body:
    return "a rule with a body condition never matches";
  }
  return "";
}

void printExplanation(const MessageResult &m, std::ostream &out)
{
  out << m.ref << "\n  from " << m.sender;
  if (!m.senderName.empty() && m.senderName != m.sender)
    out << " (" << m.senderName << ")";
  out << ", \"" << m.subject << "\", " << m.size << " bytes, " << stateOf(m) << "\n";
  if (!m.note.empty())
    out << "  note: " << m.note << "\n";
  for (const RuleResult &rule : m.rules)
    printRule(rule, m.original, out);
  if (!m.winner) {
    out << "  winner: none; nothing happens to it now\n\n";
    return;
  }
  out << "  winner: rule " << m.winner << " (score " << m.score << ")\n  now:";
  if (m.actions.empty())
    out << " nothing to do";
  const char *sep = " ";
  for (const ActionResult &a : m.actions) {
    out << sep << a.action << (a.action == "move" ? " to" : "");
    if (!a.target.empty())
      out << " " << a.target;
    sep = ", then ";
  }
  out << "\n\n";
}

JsonExplanation::JsonExplanation(std::ostream &out) : out_(out) { out_ << "{\"messages\":["; }

const std::string &JsonExplanation::escapedLine(const RuleResult &rule)
{
  if (lines_.size() < rule.position)
    lines_.resize(rule.position);
  EscapedLine &line = lines_[rule.position - 1];
  if (line.source != rule.description) {
    line.source = rule.description;
    line.json = jsonString(*rule.description);
  }
  return line.json;
}

void JsonExplanation::finish() { out_ << "\n]}\n"; }

void JsonExplanation::add(const MessageResult &m)
{
  std::ostream &out = out_;
  out << (first_ ? "" : ",") << "\n{\"message\":" << jsonString(m.ref) << ",\"store\":" << jsonString(m.store)
      << ",\"sender\":" << jsonString(m.sender) << ",\"senderName\":" << jsonString(m.senderName)
      << ",\"subject\":" << jsonString(m.subject) << ",\"size\":" << m.size
      << ",\"read\":" << (m.read ? "true" : "false") << ",\"partial\":" << (m.partial ? "true" : "false")
      << ",\"markedForDownload\":" << (m.marked ? "true" : "false");
  first_ = false;
  if (!m.note.empty())
    out << ",\"note\":" << jsonString(m.note);
  out << ",\"rules\":[";
  const char *sepR = "";
  for (const RuleResult &r : m.rules) {
    out << sepR << "{\"rule\":" << r.position << ",\"enabled\":" << (r.enabled ? "true" : "false")
        << ",\"description\":" << escapedLine(r);
    if (r.skipped[0])
      out << ",\"skipped\":\"" << r.skipped << "\"";
    out << ",\"score\":" << r.score << ",\"held\":[";
    const char *sepC = "";
    const MatchTrace::Entry *failed = nullptr;
    for (int i = 0; i < r.trace.count; ++i) {
      const MatchTrace::Entry &c = r.trace.entries[i];
      if (!c.held) {
        failed = &c;
        continue;
      }
      out << sepC << '"' << conditionName(c.step) << '"'; // names need no escaping
      sepC = ",";
    }
    out << "],\"failed\":";
    if (failed)
      out << '"' << conditionName(failed->step) << "\",\"failedDetail\":"
          << jsonString(conditionDetail(*failed, r, m.original));
    else
      out << "null";
    out << "}";
    sepR = ",";
  }
  out << "],\"winner\":";
  if (m.winner)
    out << m.winner;
  else
    out << "null";
  out << ",\"score\":" << m.score << ",\"actions\":[";
  const char *sepA = "";
  for (const ActionResult &a : m.actions) {
    out << sepA << "{\"action\":" << jsonString(a.action);
    if (!a.target.empty())
      out << ",\"target\":" << jsonString(a.target);
    out << "}";
    sepA = ",";
  }
  out << "]}";
}
