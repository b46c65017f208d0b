#include "ui/resources/program_resources.h"

#include "platform/resources/resources.h"
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
  registerResources(programModule, CompiledResources{PROGRAM_STRINGS, std::size(PROGRAM_STRINGS)});
}

void registerExtensionResources(HMODULE libraryModule)
{
  registerResources(libraryModule, CompiledResources{EXTENSION_STRINGS, std::size(EXTENSION_STRINGS)});
}
