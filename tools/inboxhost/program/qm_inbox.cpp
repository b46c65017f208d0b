// qm-inbox: the mail application's side of the menu extensions; see
// `qm-inbox --help`.
#include "platform/com/com.h"
#include "platform/maildir/maildir_provider.h"
#include "platform/mapi/mapix.h"
#include "tools/inboxhost/inboxhost.h"

#include <iostream>

int main(int argc, char **argv)
{
  std::vector<std::string> args(argv + 1, argv + argc);
  // The host opens the stores only to look at them: no watching, no transport.
  MapiProvider *provider = createMaildirProvider(MaildirOptions{false, false});
  MAPISetProvider(provider);
  if (FAILED(MAPIInitialize(nullptr))) {
    std::cerr << "qm-inbox: the message stores cannot be opened\n";
    return 1;
  }
  (void)CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED); // first on this thread: S_OK
  int status = runInboxHost(args, std::cout, std::cerr);
  CoUninitialize();
  MAPIUninitialize();
  MAPISetProvider(nullptr);
  destroyMaildirProvider(provider);
  return status;
}
