// Brindlewick: sorts incoming mail by the user's rules, in the background.
//
// This file sets up the platform the program runs on (its resources, the
// Maildir message stores, the contacts server, the termination signals) and
// hands over to the program's start-up.
#include "app/startup.h"
#include "platform/maildir/maildir_provider.h"
#include "platform/mapi/mapix.h"
#include "platform/module/module.h"
#include "platform/pim/pimserver.h"
#include "platform/window/signals.h"
#include "ui/dialogs.h"
#include "ui/resources/program_resources.h"

#include <cstdio>
#include <cstring>

namespace {

void printUsage(FILE *to)
{
  std::fputs("Usage: Brindlewick [--help]\n"
             "\n"
             "Sorts the Inbox mail of the Maildir stores in <data root>/Mail by the rules\n"
             "file (Application Data/Brindlewick/Brindlewick.dat; without one, three\n"
             "default rules that only request downloads). Write and check rules with\n"
             "qm-rules. It learns known senders, imports the contacts' addresses and,\n"
             "while it runs, offers the Inbox menu extension Tollbeck.\n"
             "\n"
             "On a terminal it shows the status line [Quillmarsh] (unless the tray icon\n"
             "is switched off); Enter there opens the rules list. Without a terminal it\n"
             "runs headless. It runs until SIGTERM, Ctrl-C or Exit in the rules list,\n"
             "and saves what changed first. Starting it again on the same data root asks\n"
             "the running one to show its rules list.\n"
             "\n"
             "Environment:\n"
             "  QUILLMARSH_ROOT       the data root (default $XDG_DATA_HOME/quillmarsh)\n"
             "  QUILLMARSH_DISPLAY    \"headless\" to run without the terminal display\n"
             "  QUILLMARSH_LOG        \"decisions\" to write each rule's decision to\n"
             "                        standard error\n"
             "  QUILLMARSH_TRANSPORT  \"hold\" to leave requested downloads for\n"
             "                        qm-store complete\n"
             "  XDG_RUNTIME_DIR       where the window's socket folder is made\n"
             "  LC_ALL, LC_MESSAGES, LANG  the language of its texts\n"
             "\n"
             "Exit status: 0 after a normal end; 1 when it runs already on the data\n"
             "root, the data root cannot be used or its window cannot be made; 2 for\n"
             "an argument it does not know.\n",
             to);
}

} // namespace

int main(int argc, char **argv)
{
  if (argc > 1) {
    auto isHelp = [](const char *arg) { return !std::strcmp(arg, "--help") || !std::strcmp(arg, "-h"); };
    bool help = argc == 2 && isHelp(argv[1]);
    if (!help)
      std::fprintf(stderr, "Brindlewick: unknown argument '%s'\n", argv[isHelp(argv[1]) ? 2 : 1]);
    printUsage(help ? stdout : stderr);
    return help ? 0 : 2;
  }
  HMODULE programModule = GetModuleHandleW(nullptr);
  registerProgramResources(programModule);
  installDialogOpeners();
  MAPISetProvider(maildirProvider());
  DWORD pimCookie = 0;
  (void)pimRegisterServer(&pimCookie); // without it the contacts import finds no class
  postQuitOnTermination();
  int code = brindlewickMain(programModule);
  (void)pimRevokeServer(pimCookie);
  return code;
}
