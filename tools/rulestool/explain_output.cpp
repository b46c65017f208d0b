// The explanation as text for a person and as JSON for scripts.
#include "tools/rulestool/explain.h"

#include <cstdio>
#include <ostream>

namespace {

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
void printRule(const RuleResult &rule, std::ostream &out)
{
  out << "  rule " << rule.position << (rule.enabled ? " [x] " : " [ ] ") << rule.description << " => ";
  if (!rule.skipped.empty()) {
    out << "not scored: " << (rule.skipped == "disabled" ? "disabled" : "for another mailbox") << "\n";
    return;
  }
  out << rule.score;
  if (rule.tested.empty() && rule.score == 0)
    out << "; no condition";
  for (const ConditionResult &c : rule.tested)
    out << (c.held ? "; held " : "; FAILED ") << c.name << " (" << c.detail << ")";
  out << "\n";
}

} // namespace

void printExplanation(const MessageResult &m, std::ostream &out)
{
  out << m.ref << "\n  from " << m.sender;
  if (!m.senderName.empty() && m.senderName != m.sender)
    out << " (" << m.senderName << ")";
  out << ", \"" << m.subject << "\", " << m.size << " bytes, " << stateOf(m) << "\n";
  if (!m.note.empty())
    out << "  note: " << m.note << "\n";
  for (const RuleResult &rule : m.rules)
    printRule(rule, out);
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
        << ",\"description\":" << jsonString(r.description);
    if (!r.skipped.empty())
      out << ",\"skipped\":" << jsonString(r.skipped);
    out << ",\"score\":" << r.score << ",\"held\":[";
    const char *sepC = "";
    const ConditionResult *failed = nullptr;
    for (const ConditionResult &c : r.tested) {
      if (!c.held) {
        failed = &c;
        continue;
      }
      out << sepC << jsonString(c.name);
      sepC = ",";
    }
    out << "],\"failed\":" << (failed ? jsonString(failed->name) : "null");
    if (failed)
      out << ",\"failedDetail\":" << jsonString(failed->detail);
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
