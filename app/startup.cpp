#include "app/startup.h"

#include "app/contacts_import.h"
#include "app/extension_registration.h"
#include "app/main_window.h"
#include "app/program_state.h"
#include "app/startup_line.h"
#include "services/resources.h"
#include "services/settings.h"
#include "app/tray.h"
#include "engine/decision_log.h"
#include "engine/session.h"
#include "platform/fs/root_lock.h"
#include "platform/window/lend.h"
#include "platform/window/window.h"
#include "rules/known_users.h"
#include "rules/known_users_file.h"
#include "rules/read_age.h"
#include "rules/rule_list.h"
#include "rules/rules_file.h"
#include "ui/resources/resource_ids.h"

#include <cerrno>

namespace {

bool createMainWindow(HINSTANCE programModule)
{
  WNDCLASSW wc{};
  wc.style = CS_HREDRAW | CS_VREDRAW;
  wc.lpfnWndProc = mainWindowProc;
  wc.hInstance = programModule;
  wc.hIcon = LoadIconW(programModule, MAKEINTRESOURCEW(IDI_PROGRAM));
  wc.lpszClassName = MAIN_WINDOW_CLASS;
  if (!RegisterClassW(&wc))
    return false;
  mainWindow = CreateWindowExW(0, MAIN_WINDOW_CLASS, MAIN_WINDOW_TITLE, 0, CW_USEDEFAULT,
                               CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr,
                               programModule, nullptr);
  return mainWindow != nullptr;
}

// A second start asks the running instance to show its rules list. From a
// terminal, the terminal goes with the request, so that an instance without
// one (a service) shows the list here; this start waits until the list is
// hidden. Without a terminal the request is only posted, as on the handheld.
HandOver handOver(HWND running)
{
  if (!terminalToLend())
    return PostMessageW(running, WM_SHOW_RULES, 0, 0) ? HandOver::Asked : HandOver::Unreachable;
  switch (sendMessageLendingTerminal(running, WM_SHOW_RULES, 0, 0, LEND_RETURN_WHEN_DECLINED, nullptr)) {
  case LendOutcome::Lent:
    return HandOver::ShownHere;
  case LendOutcome::Declined:
    return HandOver::ShownThere;
  case LendOutcome::Busy:
    return HandOver::OpenElsewhere;
  case LendOutcome::Failed:
    break;
  }
  return HandOver::NotHere;
}

void readMaxDownloadSize()
{
  WCHAR text[1024]; // 2048 bytes
  if (readSetting(SETTINGS_KEY, SETTING_MAX_DOWNLOAD_SIZE, text, sizeof text))
    maxDownloadKB = parseSettingNumber(text);
}

void runMessageLoop()
{
  MSG msg;
  BOOL got;
  while ((got = GetMessageW(&msg, nullptr, 0, 0)) != 0) {
    if (got == -1)
      break;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

void shutDown()
{
  KillTimer(mainWindow, PROCESSING_TIMER_ID);
  closeSession();
  removeTrayIcon();
  DestroyWindow(mainWindow);
  mainWindow = nullptr;
  (void)saveRulesFile(false);
  (void)saveKnownUsersFile(false);
}

// Start-up from the tray icon on, and the message loop, with the main
// window made. Returns when the loop has ended and everything is saved.
void run(HINSTANCE programModule)
{
  loadTrayIcon(programModule);
  if (trayIconWanted())
    addTrayIcon(mainWindow);
  bool defaultRules = !loadRulesFile();
  if (defaultRules)
    appendDefaultRules(archiveText);
  loadKnownUsersFile();
  readMaxDownloadSize();
  importContacts();
  readDecisionLogSetting();
  openSession();
  reportStart(defaultRules);
  SetTimer(mainWindow, PROCESSING_TIMER_ID, PROCESSING_TIMER_MS, nullptr);
  PostMessageW(mainWindow, WM_TIMER, 0, 0); // the first pass runs at once
  runMessageLoop();
  shutDown();
}

} // namespace

int brindlewickMain(HINSTANCE programModule)
{
  // One program per data root, before anything is read or written: the
  // window below is found only while the socket folder works, the lock
  // whatever happens to it.
  RootLockResult rootLock = lockDataRoot();
  if (rootLock == RootLockResult::failed) {
    reportRootUnusable(errno);
    return 1;
  }

  // Program-wide locks live from before the first resource is read until
  // after the last save.
  createReadAgeLock();
  createKnownUsersLock();
  loadResourceModule(programModule);

  HWND running = FindWindowW(MAIN_WINDOW_CLASS, MAIN_WINDOW_TITLE);
  if (running || rootLock == RootLockResult::busy) {
    reportAlreadyRunning(running ? handOver(running) : HandOver::Unreachable);
    deleteKnownUsersLock();
    deleteReadAgeLock();
    return 1;
  }

  loadString(IDS_ARCHIVE, &archiveText);
  loadString(IDS_DELETE_MARK, &deleteText);
  loadString(IDS_KNOWN_USERS, &knownUsersText);
  // The window before the extension's registration: a program that cannot
  // run writes nothing, and the extension finds the window from the start.
  if (!createMainWindow(programModule)) {
    reportNoMainWindow();
    deleteKnownUsersLock();
    deleteReadAgeLock();
    return 1;
  }
  callExtensionExport("DllRegisterServer");

  run(programModule);

  callExtensionExport("DllUnregisterServer");
  releaseContactsApplication();
  clearRules();
  deleteKnownUsersLock();
  deleteReadAgeLock();
  return 0;
}
