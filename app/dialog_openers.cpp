#include "app/dialog_openers.h"

DialogOpeners dialogOpeners{nullptr};
