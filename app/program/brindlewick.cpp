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
  std::fputs("Usage: Brindlewick\n"
            "\n"
            "Sorts the mail of the message stores below the data root by the rules\n"
            "you keep in its rules list. Runs until it is ended from the rules list\n"
            "(\"Exit\"), by SIGTERM or by Ctrl-C; it saves its rules and known senders\n"
            "first. Starting it again while it runs opens the running one's rules list.\n"
            "\n"
            "Environment:\n"
            "  QUILLMARSH_ROOT     the data root (default $XDG_DATA_HOME/quillmarsh)\n"
            "  QUILLMARSH_DISPLAY  \"headless\" to run without the terminal display\n",
             to);
}

} // namespace

int main(int argc, char **argv)
{
  if (argc > 1) {
    bool help = !std::strcmp(argv[1], "--help") || !std::strcmp(argv[1], "-h");
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
