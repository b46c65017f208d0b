#include "app/commands.h"

#include "app/program_state.h"
#include "engine/mapi_refs.h"
#include "engine/message_text.h"
#include "engine/props.h"
#include "platform/com/bstr.h"
#include "platform/pim/pimstore.h"

namespace {

// Capacity of the sender name and subject read for an item.
constexpr std::size_t ITEM_TEXT_CHARS = 1024;

// put_Subject and put_Body of either item type, then Save and Display.
template <class Item>
void fillSaveAndDisplay(Item *item, IMessage *message)
{
  std::u16string subject = itemSubjectOf(message);
  if (!subject.empty()) {
    BSTR text = SysAllocString(subject.c_str());
    (void)item->put_Subject(text); // an item without its subject is still worth keeping
    SysFreeString(text);
  }
  std::u16string body = messageTextOf(message);
  if (!body.empty()) {
    BSTR text = SysAllocString(body.c_str());
    (void)item->put_Body(text);
    SysFreeString(text);
  }
  // This command shows no message: an item that could not be saved is
  // still displayed, for the user to see what was made of the message.
  (void)item->Save();
  (void)item->Display();
}

template <class Item>
void createTyped(IDispatch *item, REFIID iid, IMessage *message)
{
  Item *typed = nullptr;
  if (item->QueryInterface(iid, reinterpret_cast<void **>(&typed)) != S_OK || !typed)
    return;
  fillSaveAndDisplay(typed, message);
  typed->Release();
}

} // namespace

std::u16string itemSubjectOf(IMessage *message)
{
  std::u16string subject;
  WCHAR text[ITEM_TEXT_CHARS] = {};
  if (getString(message, PR_SENDER_NAME, text, ITEM_TEXT_CHARS))
    subject = text;
  if (getString(message, PR_SUBJECT, text, ITEM_TEXT_CHARS)) {
    if (!subject.empty())
      subject += u": ";
    subject += text;
  }
  return subject;
}

std::u16string messageTextOf(IMessage *message)
{
  std::u16string text;
  try {
    ComRef<IStream> stream;
    if (message->OpenProperty(PR_CE_MIME_TEXT, &IID_IStream, 0, 0, stream.putUnknown()) != S_OK)
      stream.reset();
    if (stream)
      readMessageText(stream.get(), &text);
  } catch (...) {
    // The store gave up midway: what was read so far is the text.
  }
  return text;
}

void createItemFromMessage(IMessage *message, int itemType)
{
  if (!pimApplication || pimApplication->Logon(0) != S_OK)
    return;
  IDispatch *item = nullptr;
  if (pimApplication->CreateItem(itemType, &item) == S_OK && item) {
    if (itemType == olAppointmentItem)
      createTyped<IAppointment>(item, IID_IAppointment, message);
    else
      createTyped<ITask>(item, IID_ITask, message);
    item->Release();
  }
  (void)pimApplication->Logoff();
}
