#include "app/program_state.h"

HWND mainWindow = nullptr;
IPOutlookApp *pimApplication = nullptr;
HWND rulesListDialog = nullptr;
