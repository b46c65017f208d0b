#include "ui/resources/program_resources.h"

#include "platform/resources/resources.h"
#include "platform/window/controls.h"
#include "platform/window/menu.h"
#include "ui/resources/resource_ids.h"

#include <iterator>

namespace {

// The program's string table, as shipped.
constexpr StringResource PROGRAM_STRINGS[] = {
    {IDS_DESC_DELETE, u"Delete"},
    {IDS_DESC_MOVE_TO, u"Move to %s"},
    {IDS_DESC_AND, u"and"},
    {IDS_DESC_PLAY_SOUND, u"Play sound"},
    {IDS_DESC_EXEC, u"Exec"},
    {IDS_DESC_DOWNLOAD, u"Download"},
    {IDS_DESC_MARK_AS_READ, u"Mark as read"},
    {IDS_DESC_NOTHING, u"Do nothing"},
    {IDS_DESC_WHERE, u"where"},
    {IDS_BAR_NEW, u"New"},
    {IDS_BAR_OK, u"OK"},
    {IDS_BAR_CANCEL, u"Cancel"},
    {IDS_DESC_FROM, u"From=\"%s\""},
    {IDS_BAR_MENU, u"Menu"},
    {IDS_ANY_MAILBOX, u"<< Any Mailbox >>"},
    {IDS_ARCHIVE, u"Archive"},
    {IDS_DELETE_MARK, u">> DELETE <<"},
    {IDS_KNOWN_USERS, u">> Known users <<"},
    {IDS_CANNOT_COPY, u"Cannot copy the message."},
    {IDS_DESC_TO, u"To=\"%s\""},
    {IDS_DESC_SUBJECT, u"Subj=\"%s\""},
    {IDS_DESC_BODY, u"Body=\"%s\""},
    {IDS_DESC_SMALLER, u"Smaller than %d K"},
    {IDS_DESC_LARGER, u"Larger than %d K"},
    {IDS_DESC_OLDER, u"Older than %d min"},
    {IDS_DESC_READ, u"Read"},
    {IDS_DESC_HAS_ATTACH, u"HasAttach"},
};

// Dialog 103, the rules list: the mailbox box, the rules, the logo.
const DialogItemTemplate RULES_LIST_ITEMS[] = {
    {WC_COMBOBOXW, nullptr, IDC_MAILBOX, WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST | CBS_SORT, 0, 0, 0, 122, 90},
    {WC_LISTVIEWW, nullptr, IDC_RULES, WS_TABSTOP | WS_BORDER | LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS | LVS_NOSORTHEADER,
     0, 0, 13, 136, 126},
    {WC_STATICW, MAKEINTRESOURCEW(IDB_LOGO), IDC_LOGO, SS_BITMAP | SS_NOTIFY, 0, 123, 0, 12, 11},
};

const DialogTemplate PROGRAM_DIALOGS[] = {
    {IDD_RULES_LIST, WS_POPUP | WS_CAPTION | DS_SETFONT, 0, 0, 0, 136, 139, u"RulesListDialog",
     u"Quillmarsh", u"System", 8, RULES_LIST_ITEMS, std::size(RULES_LIST_ITEMS)},
};

// Menu 106, the rules list's softkeys: "New" and the "Menu" popup.
constexpr MenuItemTemplate RULES_LIST_POPUP[] = {
    {MF_STRING, IDM_HIDE, u"Hide", nullptr, 0},
    {MF_SEPARATOR, 0, nullptr, nullptr, 0},
    {MF_STRING, IDM_NEW, u"New...", nullptr, 0},
    {MF_STRING, IDM_EDIT, u"Edit...", nullptr, 0},
    {MF_STRING, IDM_DELETE, u"Delete", nullptr, 0},
    {MF_SEPARATOR, 0, nullptr, nullptr, 0},
    {MF_STRING, IDM_ABOUT, u"About...", nullptr, 0},
    {MF_STRING, IDM_EXIT, u"Exit", nullptr, 0},
};
constexpr MenuItemTemplate RULES_LIST_BAR[] = {
    {MF_STRING, IDM_NEW, u"New", nullptr, 0},
    {MF_POPUP, 0, u"Menu", RULES_LIST_POPUP, std::size(RULES_LIST_POPUP)},
};
// Menu 107, the rule editor's and the settings dialog's softkeys.
constexpr MenuItemTemplate OK_CANCEL_BAR[] = {
    {MF_STRING, IDM_OK, u"OK", nullptr, 0},
    {MF_STRING, IDM_CANCEL, u"Cancel", nullptr, 0},
};

constexpr MenuTemplate PROGRAM_MENUS[] = {
    {IDR_RULES_LIST_MENU, RULES_LIST_BAR, std::size(RULES_LIST_BAR)},
    {IDR_RULE_EDITOR_MENU, OK_CANCEL_BAR, std::size(OK_CANCEL_BAR)},
};

// Bitmap 108, the logo, as the terminal draws it.
constexpr BitmapResource PROGRAM_BITMAPS[] = {
    {IDB_LOGO, u"(Qm)"},
};

// The extension library's string table, as shipped.
constexpr StringResource EXTENSION_STRINGS[] = {
    {IDS_EXT_CREATE_FILTER, u"Create Filter..."},
    {IDS_EXT_CREATE_APPOINTMENT, u"Create Appointment..."},
    {IDS_EXT_CREATE_TASK, u"Create Task..."},
    {IDS_EXT_MARK_AS_KNOWN, u"Mark as Known"},
    {IDS_EXT_MARK_AS_UNKNOWN, u"Mark as Unknown"},
};

} // namespace

void registerProgramResources(HMODULE programModule)
{
  registerResources(programModule,
                    CompiledResources{PROGRAM_STRINGS, std::size(PROGRAM_STRINGS), PROGRAM_DIALOGS,
                                      std::size(PROGRAM_DIALOGS), PROGRAM_MENUS, std::size(PROGRAM_MENUS),
                                      PROGRAM_BITMAPS, std::size(PROGRAM_BITMAPS)});
}

void registerExtensionResources(HMODULE libraryModule)
{
  registerResources(libraryModule, CompiledResources{EXTENSION_STRINGS, std::size(EXTENSION_STRINGS), nullptr, 0, nullptr, 0, nullptr, 0});
}
