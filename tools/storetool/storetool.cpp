#include "tools/storetool/storetool.h"

#include "tools/storetool/commands.h"

#include <cstdlib>
#include <cstring>
#include <exception>
#include <ostream>

namespace {

const char *const USAGE = R"(Usage: qm-store [--root DIR] COMMAND [ARGUMENTS]

Looks into Quillmarsh's message stores and changes them as a mail server or
another mail program would. Each directory in <root>/Mail is a store: a tree
of Maildir folders with Inbox, Outbox, Sent Items, Deleted Items and Drafts,
or a Maildir of another program in its own layout (Maildir++: the top is
the Inbox, folders are written Store/Work/Sub for .Work.Sub). stores,
folders, list, show, pending and watch make nothing.

Commands:
  stores                  list the stores
  folders [STORE]         list the folders of a store (of every store) with
                          their message counts; FOLDER below is written as
                          these paths, e.g. Local/Inbox/Work
  list [FOLDER]           list the messages of a folder (default: every
                          store's Inbox): name, flags, size, delivery time,
                          sender and subject
  show MESSAGE            every property of one message, as the program reads
                          it; MESSAGE is FOLDER/NAME as `list` prints it, or
                          an entry id in hex
  deliver [OPTIONS] [FILE...]
                          deliver messages, each FILE (standard input when
                          there is none, or for "-") written to tmp/ and then
                          moved into new/
      --to FOLDER         the folder (default: the Inbox of Local, or of the
                          first store); a missing store or folder is made
      --header-only       deliver only the header; the full text waits in the
                          transport area until its download is completed
      --read              deliver it read (into cur/ with the S flag)
      --age MINUTES       make it delivered that many minutes ago
  pending                 list header-only messages, "marked" when the program
                          asked for their download
  complete [--all]        complete the marked downloads, as the program's
                          transport does (--all: every header-only message)
  mark MESSAGE STATE      STATE is read, unread, download (ask for the full
                          message, as a rule does) or keep (withdraw that)
  mkstore NAME            make a store with its standard folders (an existing
                          one is left as it is)
  mkfolder FOLDER NAME    make the subfolder NAME of FOLDER (kept when it exists)
  watch [--count N]       print the stores' changes as the program is told of
                          them, until Ctrl-C (or after N)
  command [--timeout S] NAME MESSAGE
                          send the running program one command of the mail
                          application's menu for MESSAGE and print its reply
                          (1 done, 0 not done; is-known: 1 known, 0 not):
                          create-filter, create-appointment, create-task,
                          mark-known (makes a known sender unknown again) or
                          is-known; waits up to S seconds (default 600, 0 for
                          no limit) for the program to reply

Options:
  --root DIR              the data root (default: $QUILLMARSH_ROOT, else
                          $XDG_DATA_HOME/quillmarsh)
  -h, --help              this text

Flags shown by list: R read, H header only, D download asked for,
A attachments. QUILLMARSH_TRANSPORT=hold in the program's environment makes
its downloads wait for `qm-store complete`.
)";

struct Command {
  const char *name;                             // as typed
  int (*run)(const CommandArgs &, ToolIo &);    // what it does
};

const Command COMMANDS[] = {
    {"stores", cmdStores},   {"folders", cmdFolders},   {"list", cmdList},
    {"show", cmdShow},       {"pending", cmdPending},   {"watch", cmdWatch},
    {"deliver", cmdDeliver}, {"complete", cmdComplete}, {"mark", cmdMark},
    {"mkstore", cmdMkstore}, {"mkfolder", cmdMkfolder},
    {"command", cmdCommand},
};

} // namespace

int complain(ToolIo &io, const std::string &text, int status)
{
  io.err << "qm-store: " << text << "\n";
  return status;
}

int runStoreTool(const std::vector<std::string> &args, std::istream &in, std::ostream &out,
                 std::ostream &err)
{
  ToolIo io{in, out, err};
  std::size_t i = 0;
  while (i < args.size() && args[i].rfind("-", 0) == 0) {
    if (args[i] == "-h" || args[i] == "--help") {
      out << USAGE;
      return 0;
    }
    if (args[i] == "--root") {
      if (i + 1 == args.size())
        return complain(io, "option --root needs a value", 2);
      setenv("QUILLMARSH_ROOT", args[i + 1].c_str(), 1);
      i += 2;
      continue;
    }
    return complain(io, "unknown option " + args[i] + " (qm-store --help lists them)", 2);
  }
  if (i == args.size()) {
    err << USAGE;
    return 2;
  }
  for (const Command &c : COMMANDS)
    if (args[i] == c.name) {
      // The provider's calls come here directly, without the messaging
      // library's guard: what they raise ends the command with a complaint.
      try {
        return c.run(CommandArgs(args.begin() + static_cast<long>(i) + 1, args.end()), io);
      } catch (const std::exception &e) {
        return complain(io, std::string(c.name) + " failed: " + e.what());
      }
    }
  if (args[i] == "help") {
    out << USAGE;
    return 0;
  }
  return complain(io, "unknown command " + args[i] + " (qm-store --help lists them)", 2);
}
