#include "tools/inboxhost/inboxhost.h"

#include "platform/mapi/mapix.h"
#include "platform/mapi/mapitags.h"
#include "platform/text/wstr.h"
#include "platform/module/module.h"
#include "platform/window/display.h"
#include "tools/inboxhost/extension_menu.h"
#include "tools/inboxhost/host_resources.h"
#include "tools/inboxhost/inbox_messages.h"
#include "tools/inboxhost/mail_list.h"
#include "tools/inboxhost/selection_site.h"
#include "tools/storetool/tool_session.h"

#include <cstdio>
#include <ostream>

namespace {

const char *USAGE =
    "Usage: qm-inbox [COMMAND ...]\n"
    "\n"
    "The mail application's message list and its menus, as the menu extensions\n"
    "registered for them build them (Tollbeck, while Brindlewick runs).\n"
    "\n"
    "Without a command, on a terminal: the Inbox messages of every store, newest\n"
    "first (\"*\" unread, \"H\" header only). Up/Down choose a message; F2 (\"Menu\")\n"
    "opens the softkey menu, Shift-F10, the Menu key or Enter its context menu;\n"
    "Enter in a menu chooses; F1 (\"Exit\") or Escape ends. The list follows the\n"
    "Inboxes as mail arrives and leaves. Without a terminal the messages are\n"
    "printed instead, one a line with the name the commands take.\n"
    "\n"
    "  menu [--softkey] MESSAGE          print the context menu (the softkey menu\n"
    "                                    with --softkey) for MESSAGE: every item,\n"
    "                                    popups indented, \"(greyed)\" where it\n"
    "                                    cannot be chosen\n"
    "  invoke [--softkey] MESSAGE TEXT   choose the item TEXT of that menu and\n"
    "                                    print what its extension answered\n"
    "\n"
    "MESSAGE is Store/Folder/UNIQUE as `qm-store list` prints it, or an entry id\n"
    "in hex. The data root is QUILLMARSH_ROOT, as for the program.\n";

std::string hresultText(HRESULT hr)
{
  switch (hr) {
  case S_OK:
    return "S_OK";
  case S_FALSE:
    return "S_FALSE";
  case E_INVALIDARG:
    return "E_INVALIDARG";
  case E_FAIL:
    return "E_FAIL";
  default:
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(hr));
    return text;
  }
}

// The selected message's entry id and its folder's, from the host's own
// session: the message must exist.
bool findMessage(const std::string &ref, MapiEntryBytes *folder, MapiEntryBytes *message, std::ostream &err)
{
  std::optional<MaildirId> id = parseMessageRef(ref);
  if (!id) {
    err << "qm-inbox: " << ref << " names no message (Store/Folder/UNIQUE or a hex entry id)\n";
    return false;
  }
  *message = encodeMaildirId(*id);
  LPMAPISESSION session = nullptr;
  if (FAILED(MAPILogonEx(0, nullptr, nullptr, 0, &session))) {
    err << "qm-inbox: the message stores cannot be opened\n";
    return false;
  }
  IUnknown *object = nullptr;
  IMAPIProp *props = nullptr;
  LPSPropValue value = nullptr;
  ULONG count = 0;
  SizedSPropTagArray(1, tags) = {1, {PR_PARENT_ENTRYID}};
  bool found = SUCCEEDED(session->OpenEntry(static_cast<ULONG>(message->size()),
                                            reinterpret_cast<LPENTRYID>(message->data()), nullptr, 0,
                                            nullptr, &object)) &&
               SUCCEEDED(object->QueryInterface(IID_IMAPIProp, reinterpret_cast<void **>(&props))) &&
               SUCCEEDED(props->GetProps(reinterpret_cast<LPSPropTagArray>(&tags), MAPI_UNICODE, &count, &value)) &&
               count == 1 && value[0].ulPropTag == PR_PARENT_ENTRYID;
  if (found)
    folder->assign(value[0].Value.bin.lpb, value[0].Value.bin.lpb + value[0].Value.bin.cb);
  MAPIFreeBuffer(value);
  if (props)
    props->Release();
  if (object)
    object->Release();
  (void)session->Logoff(0, 0, 0); // nothing was changed
  session->Release();
  if (!found)
    err << "qm-inbox: no message " << ref << "\n";
  return found;
}

void printMenu(const ExtensionMenu &menu, std::ostream &out)
{
  std::vector<ShownItem> items = shownItems(menu.menu);
  if (items.empty())
    out << "(no items: no menu extension is registered, or none added any)\n";
  for (const ShownItem &item : items) {
    out << std::string(2 * static_cast<std::size_t>(item.depth), ' ') << utf16ToUtf8(item.text);
    if (item.greyed)
      out << "  (greyed)";
    out << "\n";
  }
}

// The Inbox messages without a terminal: one a line, with the name that
// `menu` and `invoke` take.
int printInbox(std::ostream &out, std::ostream &err)
{
  err << "qm-inbox: no terminal to show the mail list on (standard output is not a terminal,\n"
         "or QUILLMARSH_DISPLAY=headless); the Inbox messages follow. `qm-inbox --help` for the\n"
         "commands.\n";
  LPMAPISESSION session = nullptr;
  if (FAILED(MAPILogonEx(0, nullptr, nullptr, 0, &session))) {
    err << "qm-inbox: the message stores cannot be opened\n";
    return 1;
  }
  std::vector<std::string> problems;
  std::vector<InboxMessage> messages = readInboxMessages(session, &problems);
  const bool noStore = storeIds(session).empty();
  (void)session->Logoff(0, 0, 0); // nothing was changed
  session->Release();
  for (const std::string &problem : problems)
    err << "qm-inbox: " << problem << "\n";
  if (noStore)
    out << "(no message store yet: the program makes \"Local\" when it first starts)\n";
  else if (messages.empty())
    out << "(no messages in the Inboxes)\n";
  for (const InboxMessage &m : messages) {
    std::optional<MaildirId> id = decodeMaildirId(m.message);
    out << utf16ToUtf8(messageLine(m, 72, false)) << "  " << (id ? refOf(*id) : std::string("?")) << "\n";
  }
  return problems.empty() ? 0 : 1;
}

} // namespace

int runInboxHost(const std::vector<std::string> &args, std::ostream &out, std::ostream &err)
{
  std::size_t i = 0;
  if (args.empty()) {
    if (!currentDisplay().showsDialogs)
      return printInbox(out, err);
    registerHostResources(GetModuleHandleW(nullptr));
    if (runMailList(GetModuleHandleW(nullptr)) == 0)
      return 0;
    err << "qm-inbox: the mail list cannot be shown (the message stores cannot be opened,\n"
           "or the display shows no screens)\n";
    return 1;
  }
  if (args[0] == "--help" || args[0] == "-h") {
    out << USAGE;
    return 0;
  }
  const std::string command = args[i++];
  bool softkey = i < args.size() && args[i] == "--softkey";
  if (softkey)
    ++i;
  std::size_t wanted = command == "menu" ? 1 : command == "invoke" ? 2 : 0;
  if (wanted == 0 || args.size() - i != wanted) {
    err << "qm-inbox: " << (wanted == 0 ? "unknown command " + command : "wrong arguments for " + command)
        << "\n\n"
        << USAGE;
    return 2;
  }
  MapiEntryBytes folder, message;
  if (!findMessage(args[i], &folder, &message, err))
    return 1;
  SelectionSite *site = SelectionSite::create(folder, message);
  if (!site) {
    err << "qm-inbox: out of memory\n";
    return 1;
  }
  ExtensionMenu menu = buildExtensionMenu(softkey ? SOFTKEY_MENU_EXTENSIONS : CONTEXT_MENU_EXTENSIONS, site);
  for (const std::string &problem : menu.problems)
    err << "qm-inbox: " << problem << "\n";
  int status = 0;
  if (command == "menu") {
    printMenu(menu, out);
  } else {
    std::u16string text = utf8ToUtf16(args[i + 1]);
    HRESULT hr = S_OK;
    switch (invokeByText(menu, text, &hr)) {
    case InvokeOutcome::Invoked:
      out << args[i + 1] << ": " << hresultText(hr) << "\n";
      status = SUCCEEDED(hr) ? 0 : 1;
      break;
    case InvokeOutcome::NoItem:
      err << "qm-inbox: the menu has no item \"" << args[i + 1] << "\"\n";
      status = 1;
      break;
    case InvokeOutcome::Greyed:
      err << "qm-inbox: \"" << args[i + 1] << "\" is greyed for this message\n";
      status = 1;
      break;
    }
  }
  releaseExtensionMenu(menu);
  site->Release();
  return status;
}
