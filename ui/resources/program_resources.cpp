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
    {IDS_BACKUP_NOT_WRITTEN, u"The backup %s could not be written:\n%s"},
    {IDS_BACKUP_NOT_READ, u"The backup %s could not be read:\n%s"},
};

// Dialog 103, the rules list: the mailbox box, the rules, the logo.
const DialogItemTemplate RULES_LIST_ITEMS[] = {
    {WC_COMBOBOXW, nullptr, IDC_MAILBOX, WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST | CBS_SORT, 0, 0, 0, 122, 90},
    {WC_LISTVIEWW, nullptr, IDC_RULES, WS_TABSTOP | WS_BORDER | LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS | LVS_NOSORTHEADER,
     0, 0, 13, 136, 126},
    {WC_STATICW, MAKEINTRESOURCEW(IDB_LOGO), IDC_LOGO, SS_BITMAP | SS_NOTIFY, 0, 123, 0, 12, 11},
};

// Dialog 104, the rule editor; every control takes the focus in turn, and
// every check box reports it, so the form can keep the focused control in view.
constexpr DWORD CHECK = BS_AUTOCHECKBOX | BS_NOTIFY | WS_TABSTOP;
constexpr DWORD TEXT_BOX = CBS_DROPDOWN | CBS_SORT | CBS_AUTOHSCROLL | WS_VSCROLL | WS_TABSTOP;
constexpr DWORD NUMBER_BOX = CBS_DROPDOWN | CBS_AUTOHSCROLL | WS_VSCROLL | WS_TABSTOP;
constexpr DWORD PATH_EDIT = ES_LEFT | ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP;
const DialogItemTemplate RULE_EDITOR_ITEMS[] = {
    {WC_COMBOBOXW, nullptr, IDC_RULE_MAILBOX, CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP, 0, 0, 0, 136, 90},
    {WC_BUTTONW, u"From:", IDC_RULE_FROM_CHECK, CHECK, 0, 0, 14, 46, 10},
    {WC_COMBOBOXW, nullptr, IDC_RULE_FROM, TEXT_BOX, 0, 46, 13, 89, 60},
    {WC_BUTTONW, u"To:", IDC_RULE_TO_CHECK, CHECK, 0, 0, 27, 46, 10},
    {WC_COMBOBOXW, nullptr, IDC_RULE_TO, TEXT_BOX, 0, 46, 26, 89, 60},
    {WC_BUTTONW, u"Subject:", IDC_RULE_SUBJECT_CHECK, CHECK, 0, 0, 40, 46, 10},
    {WC_COMBOBOXW, nullptr, IDC_RULE_SUBJECT, TEXT_BOX, 0, 46, 39, 89, 60},
    {WC_BUTTONW, u"Size:", IDC_RULE_SIZE_CHECK, CHECK, 0, 0, 53, 46, 10},
    {WC_COMBOBOXW, nullptr, IDC_RULE_SIZE_SIGN, CBS_DROPDOWNLIST | CBS_SORT | WS_VSCROLL | WS_TABSTOP, 0, 46, 52, 24, 60},
    {WC_COMBOBOXW, nullptr, IDC_RULE_SIZE, NUMBER_BOX, 0, 71, 52, 37, 60},
    {WC_STATICW, u"Kb", 0xFFFF, SS_LEFT, 0, 110, 54, 10, 8},
    {WC_BUTTONW, u"Older:", IDC_RULE_OLDER_CHECK, CHECK, 0, 0, 66, 46, 10},
    {WC_COMBOBOXW, nullptr, IDC_RULE_OLDER, NUMBER_BOX, 0, 46, 65, 34, 60},
    {WC_STATICW, u"min", 0xFFFF, SS_LEFT, 0, 83, 67, 12, 8},
    {WC_BUTTONW, u"Read", IDC_RULE_READ, CHECK, 0, 0, 79, 46, 10},
    {WC_BUTTONW, u"Has attach", IDC_RULE_HAS_ATTACH, CHECK, 0, 46, 78, 51, 10},
    {WC_STATICW, u"Move to:", IDC_RULE_MOVE_TO_LABEL, SS_LEFT, 0, 0, 91, 46, 8},
    {WC_COMBOBOXW, nullptr, IDC_RULE_MOVE_TO, TEXT_BOX, 0, 46, 89, 89, 60},
    {WC_STATICW, u"Play sound:", IDC_RULE_SOUND_LABEL, SS_LEFT, 0, 0, 104, 46, 8},
    {WC_EDITW, nullptr, IDC_RULE_SOUND, PATH_EDIT, 0, 46, 102, 78, 12},
    {WC_BUTTONW, u"...", IDC_RULE_SOUND_PICK, BS_PUSHBUTTON | BS_NOTIFY | WS_TABSTOP, 0, 124, 102, 10, 12},
    {WC_STATICW, u"Execute:", IDC_RULE_EXECUTE_LABEL, SS_LEFT, 0, 0, 117, 46, 8},
    {WC_EDITW, nullptr, IDC_RULE_EXECUTE, PATH_EDIT, 0, 46, 115, 78, 12},
    {WC_BUTTONW, u"...", IDC_RULE_EXECUTE_PICK, BS_PUSHBUTTON | BS_NOTIFY | WS_TABSTOP, 0, 124, 115, 10, 12},
    {WC_BUTTONW, u"Download the message", IDC_RULE_DOWNLOAD, CHECK, 0, 46, 128, 89, 10},
    {WC_BUTTONW, u"Mark as read", IDC_RULE_MARK_AS_READ, CHECK, 0, 46, 139, 89, 10},
};

// Dialog 105, About and the settings.
const DialogItemTemplate SETTINGS_ITEMS[] = {
    {WC_STATICW, u"Quillmarsh", 0xFFFF, SS_LEFT, 0, 4, 5, 100, 8},
    {WC_STATICW, u"Version 1.7", 0xFFFF, SS_LEFT, 0, 4, 14, 95, 8},
    {WC_STATICW, MAKEINTRESOURCEW(IDI_PROGRAM), IDC_PROGRAM_ICON, SS_ICON, 0, 111, 4, 20, 20},
    {WC_BUTTONW, u"Show Tray Icon", IDC_TRAY_ICON, BS_AUTOCHECKBOX | WS_TABSTOP, 0, 4, 35, 128, 10},
    {WC_STATICW, u"Do not download larger", 0xFFFF, SS_LEFT, 0, 4, 48, 76, 8},
    {WC_COMBOBOXW, nullptr, IDC_DOWNLOAD_LIMIT, CBS_DROPDOWN | CBS_AUTOHSCROLL | WS_VSCROLL | WS_TABSTOP, 0, 81, 46, 37, 60},
    {WC_STATICW, u"Kb", 0xFFFF, SS_LEFT, 0, 119, 48, 10, 8},
    {WC_BUTTONW, u"Export", IDC_EXPORT, BS_PUSHBUTTON | WS_TABSTOP, 0, 51, 125, 40, 14},
    {WC_BUTTONW, u"Import", IDC_IMPORT, BS_PUSHBUTTON | WS_TABSTOP, 0, 92, 125, 40, 14},
};

const DialogTemplate PROGRAM_DIALOGS[] = {
    {IDD_RULES_LIST, WS_POPUP | WS_CAPTION | DS_SETFONT, 0, 0, 0, 136, 139, u"RulesListDialog",
     u"Quillmarsh", u"System", 8, RULES_LIST_ITEMS, std::size(RULES_LIST_ITEMS)},
    {IDD_RULE_EDITOR, WS_POPUP | WS_VSCROLL | DS_SETFONT, 0, 0, 0, 147, 151, u"RuleEditorDialog", nullptr,
     u"System", 8, RULE_EDITOR_ITEMS, std::size(RULE_EDITOR_ITEMS)},
    {IDD_SETTINGS, WS_POPUP | WS_CAPTION | DS_SETFONT, 0, 0, 0, 136, 143, u"SettingsDialog", u"About", u"System", 8,
     SETTINGS_ITEMS, std::size(SETTINGS_ITEMS)},
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

// The program's own resources, as registered for it.
constexpr CompiledResources PROGRAM_RESOURCES{PROGRAM_STRINGS, std::size(PROGRAM_STRINGS), PROGRAM_DIALOGS,
                                              std::size(PROGRAM_DIALOGS), PROGRAM_MENUS, std::size(PROGRAM_MENUS),
                                              PROGRAM_BITMAPS, std::size(PROGRAM_BITMAPS)};

} // namespace

void registerProgramResources(HMODULE programModule) { registerResources(programModule, PROGRAM_RESOURCES); }

void registerProgramResourcesFor(const std::filesystem::path &programFile)
{
  registerResourcesForFile(programFile, PROGRAM_RESOURCES);
}

void registerExtensionResources(HMODULE libraryModule)
{
  registerResources(libraryModule, CompiledResources{EXTENSION_STRINGS, std::size(EXTENSION_STRINGS), nullptr, 0, nullptr, 0, nullptr, 0});
}
