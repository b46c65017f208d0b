#include "app/main_window.h"

#include "app/command_channel.h"
#include "app/program_state.h"
#include "services/resources.h"
#include "engine/pass.h"
#include "platform/window/window.h"
#include "rules/known_users.h"
#include "rules/known_users_file.h"
#include "rules/rules_file.h"
#include "ui/resources/resource_ids.h"

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
  // Until the dialogs are built in there is no template 103 and no procedure
  // for it: the display reports -1, and the program runs on as it does when
  // a dialog cannot be created.
  INT_PTR result = DialogBoxParamW(resourceModule, MAKEINTRESOURCEW(IDD_RULES_LIST), nullptr,
                                   nullptr, 0);
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
