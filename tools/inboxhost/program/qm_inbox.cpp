// qm-inbox: the mail application's side of the menu extensions; see
// `qm-inbox --help`.
#include "platform/com/com.h"
#include "platform/maildir/maildir_provider.h"
#include "platform/mapi/mapix.h"
#include "platform/window/display.h"
#include "platform/window/signals.h"
#include "tools/inboxhost/inboxhost.h"

#include <iostream>

int main(int argc, char **argv)
{
  std::vector<std::string> args(argv + 1, argv + argc);
  // The mail list on a terminal follows the Inboxes (the stores are watched);
  // the commands only look. Neither completes downloads, and neither makes a
  // store: that is the program's, when it starts.
  const bool mailList = args.empty() && currentDisplay().showsDialogs;
  MapiProvider *provider = createMaildirProvider(MaildirOptions{mailList, false, false});
  MAPISetProvider(provider);
  if (FAILED(MAPIInitialize(nullptr))) {
    std::cerr << "qm-inbox: the message stores cannot be opened\n";
    return 1;
  }
  (void)CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED); // first on this thread: S_OK
  if (mailList)
    postQuitOnTermination(); // SIGTERM and Ctrl-C end the list and give the terminal back
  int status = runInboxHost(args, std::cout, std::cerr);
  CoUninitialize();
  MAPIUninitialize();
  MAPISetProvider(nullptr);
  destroyMaildirProvider(provider);
  return status;
}
