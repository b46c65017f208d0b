#include "app/program_state.h"

HWND mainWindow = nullptr;
IPOutlookApp *pimApplication = nullptr;
HWND rulesListDialog = nullptr;
const WCHAR *archiveText = nullptr;
const WCHAR *deleteText = nullptr;
const WCHAR *knownUsersText = nullptr;
