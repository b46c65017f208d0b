// The "Sorrelby" popup in the host's menu. It needs the window system's
// menus, which the platform does not have yet: until then the extension adds
// nothing and says so.
#include "inboxmenu/extension_object.h"

HRESULT InboxMenuExtension::QueryContextMenu(HMENU, UINT, UINT, UINT, UINT) { return E_NOTIMPL; }
