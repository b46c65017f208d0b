#include "tools/rulestool/rulestool.h"

#include "app/program_state.h"
#include "platform/fs/datapath.h"
#include "platform/module/module.h"
#include "platform/resources/language.h"
#include "platform/window/window.h"
#include "rules/known_users.h"
#include "rules/known_users_file.h"
#include "rules/read_age.h"
#include "rules/rule_list.h"
#include "rules/rules_file.h"
#include "services/checkpoint.h"
#include "services/resources.h"
#include "services/string_ids.h"
#include "tools/rulestool/commands.h"
#include "tools/rulestool/rule_options.h"
#include "ui/resources/program_resources.h"

#include <cstdlib>
#include <mutex>
#include <ostream>

namespace rulestool {
namespace {

const char *const USAGE = R"(Usage: qm-rules [--root DIR] COMMAND [ARGUMENTS]

Lists, writes and explains Brindlewick's rules on a data root. For every
Inbox message the enabled rule with the highest score wins (a later rule wins
a tie) and only its actions run; `explain` shows why.

Commands:
  list                    the rules in order, numbered: [x] enabled, [ ] not,
                          the line the rules list shows, and the mailbox
  add [RULE OPTIONS]      append a rule (enabled unless --disable)
  edit N RULE OPTIONS     change rule N; what is not given stays
  enable N, disable N     switch rule N on or off
  delete N                delete rule N
  move N M                move rule N to position M
  export FILE             write a backup file (rules, known senders, tray
                          setting), as the settings dialog's Export does
  import FILE             replace the rules and known senders by a backup
                          file's, as the settings dialog's Import does; a
                          file that is not a whole backup changes nothing
  explain [--json] [MESSAGE...]
                          for each Inbox message (or each MESSAGE, written
                          STORE/FOLDER/NAME as `qm-store list` prints it):
                          every enabled rule's score, the conditions that
                          held and the first that failed, the winner and the
                          actions it would run now. Changes nothing.

The writing commands (add, edit, enable, disable, delete, move, import)
refuse to run while Brindlewick runs on the data root: it keeps the rules in
memory and would overwrite the change. Stop it, run the command, start it.

)";

const char *const USAGE_TAIL = R"(
Options:
  --root DIR              the data root (default: $QUILLMARSH_ROOT, else
                          $XDG_DATA_HOME/quillmarsh)
  -h, --help              this text
)";

struct Command {
  const char *name;                          // as typed
  int (*run)(const CommandArgs &, ToolIo &); // what it does
};

const Command COMMANDS[] = {
    {"list", cmdList},       {"add", cmdAdd},         {"edit", cmdEdit},     {"enable", cmdEnable},
    {"disable", cmdDisable}, {"delete", cmdDelete},   {"move", cmdMove},     {"export", cmdExport},
    {"import", cmdImport},   {"explain", cmdExplain},
};

// The program-wide pieces the program's code needs, set up once per
// process: the string tables (the program's language module when it is
// beside the tool or in the program's build folder), and the locks of the
// known-users list and of the read-age table. The checkpoint marker is
// switched off: the tool is not the program, and must not write its
// diagnostic into the registry.
void setUpProcess()
{
  static std::once_flag once;
  std::call_once(once, [] {
    HMODULE self = GetModuleHandleW(nullptr);
    registerProgramResources(self);
    loadResourceModule(self);
    WCHAR path[4096];
    DWORD n = GetModuleFileNameW(self, path, 4096);
    std::filesystem::path tool(std::u16string(path, n < 4096 ? n : 0));
    for (const std::filesystem::path &program :
         {tool.parent_path() / "Brindlewick", tool.parent_path().parent_path() / "app" / "Brindlewick"}) {
      std::u16string language = resourceModulePath(program.u16string(), GetUserDefaultUILanguage());
      if (HMODULE module = LoadLibraryExW(language.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE)) {
        // What the module lacks comes from the program's table, as in the program.
        registerProgramResourcesFor(program);
        resourceModule = module;
        break;
      }
    }
    createKnownUsersLock();
    createReadAgeLock();
    suspendCheckpoints();
  });
}

} // namespace

int complain(ToolIo &io, const std::string &text, int status)
{
  io.err << "qm-rules: " << text << "\n";
  return status;
}

bool loadProgramLists()
{
  clearKnownUsers();
  loadKnownUsersFile();
  knownUsersDirty = 0;
  rulesDirty = 0;
  if (loadRulesFile())
    return true;
  clearRules();
  static const WCHAR *archive = nullptr;
  appendDefaultRules(loadString(IDS_ARCHIVE, &archive));
  return false;
}

bool refuseWhileRunning(ToolIo &io, const std::string &command)
{
  if (!FindWindowW(MAIN_WINDOW_CLASS, MAIN_WINDOW_TITLE))
    return false;
  complain(io, command + ": Brindlewick is running on " + dataRoot().string() +
                   "; it keeps the rules in memory and would overwrite this change. Stop it "
                   "(Ctrl-C in its terminal, SIGTERM, or stopping its service), run this command "
                   "again, then start it again.");
  return true;
}

Rule *ruleAt(ToolIo &io, const std::string &text, std::size_t *position)
{
  std::size_t count = countRules();
  std::size_t n = 0;
  if (text.empty() || text.size() > 9 || text.find_first_not_of("0123456789") != std::string::npos ||
      (n = std::stoul(text)) == 0 || n > count) {
    complain(io, "\"" + text + "\" is not a rule number; the rules are numbered 1 to " + std::to_string(count) +
                     " (qm-rules list)",
             2);
    return nullptr;
  }
  Rule *rule = ruleList;
  for (std::size_t i = 1; i < n; ++i)
    rule = rule->next;
  if (position)
    *position = n;
  return rule;
}

} // namespace rulestool

int runRulesTool(const std::vector<std::string> &args, std::ostream &out, std::ostream &err)
{
  using namespace rulestool;
  ToolIo io{out, err};
  std::size_t i = 0;
  while (i < args.size() && args[i].rfind("-", 0) == 0) {
    if (args[i] == "-h" || args[i] == "--help") {
      out << USAGE << RULE_OPTIONS_HELP << USAGE_TAIL;
      return 0;
    }
    if (args[i] == "--root" && i + 1 < args.size()) {
      setenv("QUILLMARSH_ROOT", args[i + 1].c_str(), 1);
      i += 2;
      continue;
    }
    return complain(io, "unknown option " + args[i] + " (qm-rules --help lists them)", 2);
  }
  if (i == args.size()) {
    err << USAGE << RULE_OPTIONS_HELP << USAGE_TAIL;
    return 2;
  }
  setUpProcess();
  for (const Command &c : COMMANDS)
    if (args[i] == c.name)
      return c.run(CommandArgs(args.begin() + static_cast<long>(i) + 1, args.end()), io);
  if (args[i] == "help") {
    out << USAGE << RULE_OPTIONS_HELP << USAGE_TAIL;
    return 0;
  }
  return complain(io, "unknown command " + args[i] + " (qm-rules --help lists them)", 2);
}
