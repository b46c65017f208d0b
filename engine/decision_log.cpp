#include "engine/decision_log.h"

#include "platform/text/wstr.h"
#include "platform/window/display.h"
#include "rules/describe.h"

#include <cstdlib>
#include <cstring>
#include <mutex>

bool decisionLogOn = false;

void readDecisionLogSetting()
{
  const char *value = std::getenv(DECISION_LOG_VARIABLE);
  decisionLogOn = value && std::strcmp(value, DECISION_LOG_VALUE) == 0;
}

void DecisionNotes::add(const std::string &phrase)
{
  if (!text.empty())
    text += "; ";
  text += phrase;
}

void DecisionNotes::add(const char *phrase, const WCHAR *what)
{
  add(std::string(phrase) + " " + utf16ToUtf8(what));
}

DecisionMessage decisionMessageOf(const MessageInfo *m)
{
  DecisionMessage message;
  wstrCopy(message.sender, MESSAGE_TEXT_CHARS, m->senderAddress[0] ? m->senderAddress : m->senderName);
  wstrCopy(message.subject, MESSAGE_TEXT_CHARS, m->messageSubject);
  return message;
}

void logDecision(const WCHAR *storeName, const DecisionMessage &message, std::size_t position, const Rule *rule,
                 const DecisionNotes &notes)
{
  std::string line = "Brindlewick: " + utf16ToUtf8(storeName ? storeName : u"?") + ": from " +
                     utf16ToUtf8(message.sender) + " \"" + utf16ToUtf8(message.subject) + "\": rule " +
                     std::to_string(position) + " (" + utf16ToUtf8(describeRule(rule)) + "): " + notes.text + "\n";
  static std::mutex lock;
  std::lock_guard<std::mutex> guard(lock);
  displayWriteLine(line); // on the terminal: above the status line, never over a screen
}
