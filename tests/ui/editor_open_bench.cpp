// Opening the rule editor over a large Inbox: the dialog is made, its
// suggestion lists are gathered from every Inbox message (10,000 messages
// from 5,000 senders) and it is closed again. The editor is unresponsive
// while it gathers, so this must stay well under a third of a second.
// Baselines in the same run: the same over an empty Inbox (the dialog
// alone) and over a tenth of the messages (a linear gathering costs about
// a tenth).
#include "app/program_state.h"
#include "app/rule_editor_call.h"
#include "engine/session.h"
#include "platform/clock/clock.h"
#include "platform/mapi/memory/memory_mapi.h"
#include "platform/module/module.h"
#include "platform/text/wstr.h"
#include "platform/window/controls.h"
#include "platform/window/dialog.h"
#include "platform/window/display.h"
#include "rules/known_users.h"
#include "rules/read_age.h"
#include "rules/rule_list.h"
#include "services/resources.h"
#include "tests/support/temp_root.h"
#include "ui/resources/program_resources.h"
#include "ui/resources/resource_ids.h"
#include "ui/rule_editor.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <string>

namespace {

constexpr ULONGLONG START_TIME = 133485408000000000ULL; // 2024-01-01
constexpr int SENDERS_PER_MESSAGE = 2;                  // each sender wrote two messages

// One store whose Inbox holds `count` messages, half as many senders,
// under the test display, with the program's resources.
struct EditorWorld {
  explicit EditorWorld(int count)
  {
    clockSetForTest(1000000, START_TIME);
    setenv("QUILLMARSH_ROOT", root.path.c_str(), 1);
    HMODULE self = GetModuleHandleW(nullptr);
    registerProgramResources(self);
    resourceModule = self;
    setDisplay(testDisplay());
    createReadAgeLock();
    createKnownUsersLock();
    MemStore *store = memAddStore(install.world, u"Local");
    memAddFolder(memTop(store), u"Bills");
    memAddFolder(memInbox(store), u"Work");
    memSetNotify(install.world, false);
    const int senders = count / SENDERS_PER_MESSAGE;
    for (int i = 0; i < count; ++i) {
      std::string sender = std::to_string(senders ? i % senders : 0);
      std::string n = std::to_string(i);
      memAddMessage(memInbox(store), {.from = utf8ToUtf16("Person " + sender + " <person" + sender + "@example.org>"),
                                      .fromName = utf8ToUtf16("Person " + sender),
                                      .to = u"me@example.org",
                                      .cc = i % 3 ? u"" : u"Team List <team@example.org>",
                                      .subject = utf8ToUtf16((i % 7 ? "Re: news " : "report ") + n),
                                      .size = 2000,
                                      .read = true});
    }
    memSetNotify(install.world, true);
    openSession();
  }

  ~EditorWorld()
  {
    editedRule = nullptr;
    closeSession();
    clearRules();
    clearKnownUsers();
    deleteKnownUsersLock();
    deleteReadAgeLock();
    setDisplay(headlessDisplay());
    clockUseReal();
    unsetenv("QUILLMARSH_ROOT");
  }

  TempDir root;       // the data root
  MemInstall install; // the messaging world
};

void BM_OpenEditor(benchmark::State &state)
{
  EditorWorld world(static_cast<int>(state.range(0)));
  Rule rule{};
  rule.enabled = 1;
  LRESULT senders = 0;
  for (auto _ : state) {
    // The editor's loop waits once it has opened: then it is read and closed.
    testDisplayScript({[&](HWND dialog) {
      senders = SendDlgItemMessageW(dialog, IDC_RULE_FROM, CB_GETCOUNT, 0, 0);
      SendMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    }});
    editedRule = &rule;
    if (runRuleEditorDialog(nullptr) != 0) {
      state.SkipWithError("the editor did not open and close");
      return;
    }
  }
  // ">> Known users <<" and one entry per sender.
  if (senders != 1 + state.range(0) / SENDERS_PER_MESSAGE)
    state.SkipWithError("the sender list is not one entry per sender");
  state.counters["senders"] = static_cast<double>(senders - 1);
}

} // namespace

BENCHMARK(BM_OpenEditor)->Arg(0)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);
