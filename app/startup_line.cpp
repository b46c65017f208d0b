#include "app/startup_line.h"

#include "engine/decision_log.h"
#include "engine/session.h"
#include "engine/store_watcher.h"
#include "platform/fs/datapath.h"
#include "platform/text/wstr.h"
#include "platform/window/display.h"
#include "rules/rule_list.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

void reportStart(bool defaultRules)
{
  std::vector<std::string> names; // the watcher list holds the store opened last first
  for (WatcherNode *node = watcherList; node; node = node->next) {
    const WCHAR *name = storeDisplayName(node->watcher);
    names.insert(names.begin(), name ? utf16ToUtf8(name) : "?");
  }
  std::string stores;
  for (const std::string &name : names)
    stores += (stores.empty() ? "" : ", ") + name;
  std::size_t rules = countRules();
  std::string line = "Brindlewick: sorting the mail in " + dataRoot().string() + " (stores: " +
                     (session ? (stores.empty() ? "none" : stores) : "none, the message stores cannot be opened") +
                     ") by " + std::to_string(rules) + (rules == 1 ? " rule" : " rules") +
                     (defaultRules ? " (the defaults: no rules file yet)" : "") + "; decision log " +
                     (decisionLogOn ? "on" : "off (QUILLMARSH_LOG=decisions turns it on)") +
                     "; stop it with Ctrl-C or SIGTERM\n";
  // On the terminal it goes above the status line, never over a screen.
  displayWriteLine(line);
}

void reportAlreadyRunning(HandOver what)
{
  const char *outcome = "";
  switch (what) {
  case HandOver::Unreachable: outcome = "; its window cannot be reached to show its rules list; ending\n"; break;
  case HandOver::Asked: outcome = "; asked it to show its rules list, and ending\n"; break;
  case HandOver::ShownHere: outcome = "; its rules list was shown on this terminal; ending\n"; break;
  case HandOver::ShownThere: outcome = "; it shows its rules list on its own terminal; ending\n"; break;
  case HandOver::OpenElsewhere: outcome = "; its rules list is open on another terminal; ending\n"; break;
  case HandOver::NotHere: outcome = "; it could not show its rules list on this terminal; ending\n"; break;
  }
  std::string line = "Brindlewick: already running on " + dataRoot().string() + outcome;
  (void)std::fputs(line.c_str(), stderr); // nothing to do when standard error is gone
}

void reportRootUnusable(int error)
{
  std::string line = "Brindlewick: cannot use the data root " + dataRoot().string() + " (" +
                     std::strerror(error) + "); ending\n";
  (void)std::fputs(line.c_str(), stderr); // nothing to do when standard error is gone
}

void reportNoMainWindow()
{
  (void)std::fputs("Brindlewick: cannot create its main window; ending without sorting mail\n",
                   stderr); // nothing to do when standard error is gone
}
