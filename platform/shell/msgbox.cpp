// MessageBoxW: a hook, a dialog on a display that shows dialogs, standard
// error without one, or a record for tests.
#include "platform/shell/msgbox.h"
#include "platform/shell/msgbox_dialog.h"
#include "platform/text/wstr.h"
#include "platform/window/display.h"

#include <atomic>
#include <mutex>

namespace {

std::atomic<MessageBoxHook> hook{nullptr};  // the display's form, when one is set
std::mutex recordLock;                       // guards the three fields below
bool recording = false;                      // boxes are recorded and answered at once
int recordedAnswer = IDOK;                   // the answer while recording
std::vector<MessageBoxCall> recorded;        // boxes recorded so far

// The answer a box gives when nobody can choose: its first button.
int defaultButton(UINT type)
{
  switch (type & 0x0F) {
  case 3: // MB_YESNOCANCEL
  case MB_YESNO:
    return IDYES;
  default:
    return IDOK;
  }
}

} // namespace

int MessageBoxW(HWND hWnd, LPCWSTR lpText, LPCWSTR lpCaption, UINT uType)
{
  {
    std::lock_guard<std::mutex> guard(recordLock);
    if (recording) {
      recorded.push_back(MessageBoxCall{hWnd, lpText ? lpText : u"", lpCaption != nullptr,
                                        lpCaption ? lpCaption : u"", uType});
      return recordedAnswer;
    }
  }
  if (MessageBoxHook display = hook.load())
    return display(hWnd, lpText, lpCaption, uType);
  int shown = messageBoxDialog(hWnd, lpText, lpCaption, uType);
  if (shown > 0)
    return shown;
  std::string line;
  if (lpCaption && *lpCaption)
    line = utf16ToUtf8(lpCaption) + ": ";
  line += lpText ? utf16ToUtf8(lpText) : std::string();
  displayWriteLine(line + "\n"); // never over a screen another thread shows
  return defaultButton(uType);
}

void setMessageBoxHook(MessageBoxHook display) { hook.store(display); }

void messageBoxRecordForTest(int answer)
{
  std::lock_guard<std::mutex> guard(recordLock);
  recording = true;
  recordedAnswer = answer;
  recorded.clear();
}

void messageBoxUseReal()
{
  std::lock_guard<std::mutex> guard(recordLock);
  recording = false;
  recorded.clear();
}

std::vector<MessageBoxCall> messageBoxTakeRecorded()
{
  std::lock_guard<std::mutex> guard(recordLock);
  std::vector<MessageBoxCall> out;
  out.swap(recorded);
  return out;
}
