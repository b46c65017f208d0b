#include "app/main_window.h"

#include "app/command_channel.h"
#include "app/dialog_openers.h"
#include "app/program_state.h"
#include "engine/pass.h"
#include "platform/window/window.h"
#include "rules/known_users.h"
#include "rules/known_users_file.h"
#include "rules/rules_file.h"

void runTimerPass()
{
  revisitAllStores();
  (void)saveRulesFile(false);     // a failed save keeps rulesDirty: the next tick retries
  (void)saveKnownUsersFile(false); // likewise knownUsersDirty
}

void showRulesList(WPARAM wParam)
{
  if (wParam > 0xFFFF || rulesListDialog)
    return;
  // Without a display that shows dialogs the opener reports -1, and the
  // program runs on as after Hide.
  INT_PTR result = dialogOpeners.rulesList ? dialogOpeners.rulesList() : -1;
  if (result == 0)
    PostQuitMessage(0);
  rulesListDialog = nullptr;
}

LRESULT mainWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
  switch (message) {
  case WM_COPYDATA:
    return handleCommand(hwnd, wParam, reinterpret_cast<const COPYDATASTRUCT *>(lParam));
  case WM_TIMER:
    runTimerPass();
    return DefWindowProcW(hwnd, message, wParam, lParam);
  case WM_SHOW_RULES:
    showRulesList(wParam);
    return 1;
  default:
    return DefWindowProcW(hwnd, message, wParam, lParam);
  }
}
