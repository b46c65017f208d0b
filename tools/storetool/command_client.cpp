// `qm-store command`: sends one command of the mail application's menu for
// one message to the program running on the data root, as the menu
// extension does, and prints the program's reply.
#include "tools/storetool/commands.h"

#include "app/command_channel.h"
#include "app/program_state.h"
#include "platform/fs/datapath.h"
#include "platform/window/window.h"
#include "tools/storetool/tool_session.h"

#include <cstdlib>
#include <ostream>

namespace {

struct CommandName {
  const char *name; // as typed
  ULONG_PTR code;   // the command code
};

const CommandName COMMAND_NAMES[] = {
    {"create-filter", COMMAND_CREATE_FILTER},
    {"create-appointment", COMMAND_CREATE_APPOINTMENT},
    {"create-task", COMMAND_CREATE_TASK},
    {"mark-known", COMMAND_TOGGLE_KNOWN},
    {"is-known", COMMAND_IS_KNOWN},
};

// How long the reply is waited for by default: commands 1 to 3 wait for the
// user to close what the program shows.
constexpr unsigned DEFAULT_TIMEOUT_SECONDS = 600;

bool parseCode(const std::string &word, ULONG_PTR *code)
{
  for (const CommandName &c : COMMAND_NAMES)
    if (word == c.name) {
      *code = c.code;
      return true;
    }
  // A bare number sends that code, known or not: for trying out the
  // program's answer to codes it does not carry out.
  if (word.empty() || word.find_first_not_of("0123456789") != std::string::npos || word.size() > 9)
    return false;
  *code = std::strtoul(word.c_str(), nullptr, 10);
  return true;
}

} // namespace

int cmdCommand(const CommandArgs &args, ToolIo &io)
{
  unsigned timeoutSeconds = DEFAULT_TIMEOUT_SECONDS;
  CommandArgs words;
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--timeout" && i + 1 < args.size() &&
        args[i + 1].find_first_not_of("0123456789") == std::string::npos &&
        !args[i + 1].empty() && args[i + 1].size() <= 7) {
      timeoutSeconds = static_cast<unsigned>(std::strtoul(args[++i].c_str(), nullptr, 10));
      continue;
    }
    words.push_back(args[i]);
  }
  if (words.size() != 2)
    return complain(io, "command takes a command name and a message (qm-store --help)", 2);
  ULONG_PTR code = 0;
  if (!parseCode(words[0], &code))
    return complain(io, "unknown command name " + words[0] +
                            " (create-filter, create-appointment, create-task, mark-known, is-known)", 2);
  auto message = parseMessageRef(words[1]);
  if (!message)
    return complain(io, "not a message: " + words[1], 2);

  HWND program = FindWindowW(MAIN_WINDOW_CLASS, MAIN_WINDOW_TITLE);
  if (!program)
    return complain(io, "Brindlewick is not running on the data root " + dataRoot().string());
  std::vector<BYTE> id = encodeMaildirId(*message);
  COPYDATASTRUCT data{code, static_cast<DWORD>(id.size()), id.data()};
  UINT timeoutMs = timeoutSeconds == 0 ? 0x7FFFFFFFu : timeoutSeconds * 1000u;
  DWORD_PTR reply = 0;
  if (!SendMessageTimeoutW(program, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data), SMTO_NORMAL,
                           timeoutMs, &reply))
    return complain(io, "Brindlewick did not answer (it ended, or is busy beyond the time-out)");
  io.out << reply << "\n";
  return 0;
}
