#include "inboxmenu/command_texts.h"

#include "services/resources.h"
#include "ui/resources/resource_ids.h"

CommandTexts commandTexts;

void loadCommandTexts(HMODULE libraryModule)
{
  loadResourceModule(libraryModule);
  (void)loadString(IDS_EXT_CREATE_FILTER, &commandTexts.createFilter); // kept in the slot
  (void)loadString(IDS_EXT_CREATE_APPOINTMENT, &commandTexts.createAppointment);
  (void)loadString(IDS_EXT_CREATE_TASK, &commandTexts.createTask);
  (void)loadString(IDS_EXT_MARK_AS_KNOWN, &commandTexts.markAsKnown);
  (void)loadString(IDS_EXT_MARK_AS_UNKNOWN, &commandTexts.markAsUnknown);
}
