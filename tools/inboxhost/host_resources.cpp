#include "tools/inboxhost/host_resources.h"

#include "platform/resources/resources.h"
#include "platform/window/controls.h"
#include "platform/window/dialog.h"
#include "platform/window/menu.h"

#include <iterator>

namespace {

// The mail list: one list of messages over the whole screen.
const DialogItemTemplate MAIL_LIST_ITEMS[] = {
    {WC_LISTVIEWW, nullptr, IDC_MESSAGES,
     WS_TABSTOP | WS_BORDER | LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS | LVS_NOSORTHEADER, 0, 0, 0, 136, 139},
};

const DialogTemplate HOST_DIALOGS[] = {
    {IDD_MAIL_LIST, WS_POPUP | WS_CAPTION | DS_SETFONT, 0, 0, 0, 136, 139, u"InboxDialog", u"Inbox", u"System", 8,
     MAIL_LIST_ITEMS, std::size(MAIL_LIST_ITEMS)},
};

// The softkeys: "Exit", and "Menu", whose popup the menu extensions fill
// when it opens, before the host's own "Refresh".
constexpr MenuItemTemplate MAIL_LIST_POPUP[] = {
    {MF_STRING, IDM_REFRESH, u"Refresh", nullptr, 0},
};
constexpr MenuItemTemplate MAIL_LIST_BAR[] = {
    {MF_STRING, IDM_EXIT, u"Exit", nullptr, 0},
    {MF_POPUP, 0, u"Menu", MAIL_LIST_POPUP, std::size(MAIL_LIST_POPUP)},
};

constexpr MenuTemplate HOST_MENUS[] = {
    {IDR_MAIL_LIST_MENU, MAIL_LIST_BAR, std::size(MAIL_LIST_BAR)},
};

} // namespace

void registerHostResources(HMODULE module)
{
  registerResources(module, CompiledResources{nullptr, 0, HOST_DIALOGS,
                                              std::size(HOST_DIALOGS), HOST_MENUS, std::size(HOST_MENUS), nullptr, 0});
}
