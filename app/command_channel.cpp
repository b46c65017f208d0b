#include "app/command_channel.h"

#include "app/commands.h"
#include "engine/address.h"
#include "engine/mapi_refs.h"
#include "engine/props.h"
#include "engine/session.h"
#include "platform/pim/pimstore.h"
#include "platform/window/window.h"
#include "rules/known_users.h"

namespace {

// Capacity of the sender address read for codes 4 and 5.
constexpr std::size_t KNOWN_ADDRESS_CHARS = 1024;

// Opens the message the command names. Null when there is no session, the
// bytes name nothing, or what they name is not a message (a store or folder
// id sent by mistake must not be taken for a message without a sender).
ComRef<IMessage> openCommandMessage(const COPYDATASTRUCT *data)
{
  if (!session || (data->cbData > 0 && !data->lpData))
    return {};
  ComRef<IUnknown> object;
  ULONG type = 0;
  try {
    if (session->OpenEntry(data->cbData, static_cast<LPENTRYID>(data->lpData), nullptr, 0, &type,
                           object.put()) != S_OK)
      return {};
  } catch (...) {
    return {}; // the store gave up on it: the message cannot be opened
  }
  // Only a message's object is an IMessage; a store or folder is released as
  // what it is.
  if (!object || type != MAPI_MESSAGE)
    return {};
  return ComRef<IMessage>(static_cast<IMessage *>(object.detach()));
}

// The bare sender address of the message, empty when it has none.
std::u16string senderAddressOf(IMessage *message)
{
  WCHAR address[KNOWN_ADDRESS_CHARS] = {};
  (void)getString(message, PR_SENDER_EMAIL_ADDRESS, address, KNOWN_ADDRESS_CHARS);
  stripToAddress(address);
  return address;
}

} // namespace

LRESULT handleCommand(HWND window, WPARAM wParam, const COPYDATASTRUCT *data)
{
  if (!data || data->dwData < COMMAND_CREATE_FILTER || data->dwData > COMMAND_IS_KNOWN)
    return DefWindowProcW(window, WM_COPYDATA, wParam, reinterpret_cast<LPARAM>(data));
  ComRef<IMessage> message = openCommandMessage(data);
  if (!message)
    return 0;

  switch (data->dwData) {
  case COMMAND_CREATE_FILTER:
    createFilterFromMessage(message.get());
    return 1;
  case COMMAND_CREATE_APPOINTMENT:
    createItemFromMessage(message.get(), olAppointmentItem);
    return 1;
  case COMMAND_CREATE_TASK:
    createItemFromMessage(message.get(), olTaskItem);
    return 1;
  default:
    break;
  }

  // Codes 4 and 5 need only the address: the message goes before the list
  // is touched.
  std::u16string address = senderAddressOf(message.get());
  message.reset();
  if (data->dwData == COMMAND_IS_KNOWN)
    return isKnownUser(address.c_str()) ? 1 : 0;
  // One lock over the test and the change, so a pass that counts the same
  // sender meanwhile cannot slip between them.
  CriticalSectionGuard guard(&knownUsersLock);
  if (isKnownUser(address.c_str()))
    removeKnownUser(address.c_str());
  else
    addKnownUser(address.c_str(), true);
  return 1;
}
