// The appointment and task form, a dialog of the window system's display.
#include "platform/pim/item_form.h"

#include "platform/com/bstr.h"
#include "platform/pim/pimtime.h"
#include "platform/shell/msgbox.h"
#include "platform/text/wstr.h"
#include "platform/window/aygshell.h"
#include "platform/window/controls.h"
#include "platform/window/dialog.h"
#include "platform/window/display.h"

#include <algorithm>
#include <cstdio>
#include <iterator>
#include <string>

namespace {

constexpr WORD SUBJECT_ID = 100;
constexpr WORD FIRST_ID = 101;  // the start (a task's start date)
constexpr WORD SECOND_ID = 102; // the end (a task's due date)
constexpr WORD BODY_ID = 103;   // the notes, shown as they are
constexpr WORD SUBJECT_LABEL_ID = 110;
constexpr WORD FIRST_LABEL_ID = 111;
constexpr WORD SECOND_LABEL_ID = 112;
constexpr int LABEL_CELLS = 10; // "Subject: " and a blank

const DialogItemTemplate APPOINTMENT_ITEMS[] = {
    {WC_STATICW, u"Subject:", SUBJECT_LABEL_ID, SS_LEFT, 0, 0, 0, 30, 10},
    {WC_EDITW, nullptr, SUBJECT_ID, WS_TABSTOP | ES_AUTOHSCROLL | WS_BORDER, 0, 30, 0, 106, 12},
    {WC_STATICW, u"Start:", FIRST_LABEL_ID, SS_LEFT, 0, 0, 13, 30, 10},
    {WC_EDITW, nullptr, FIRST_ID, WS_TABSTOP | ES_AUTOHSCROLL | WS_BORDER, 0, 30, 13, 106, 12},
    {WC_STATICW, u"End:", SECOND_LABEL_ID, SS_LEFT, 0, 0, 26, 30, 10},
    {WC_EDITW, nullptr, SECOND_ID, WS_TABSTOP | ES_AUTOHSCROLL | WS_BORDER, 0, 30, 26, 106, 12},
    {WC_STATICW, nullptr, BODY_ID, SS_LEFT, 0, 0, 42, 136, 80},
    {WC_BUTTONW, u"OK", IDOK, WS_TABSTOP | BS_PUSHBUTTON, 0, 20, 129, 40, 12},
    {WC_BUTTONW, u"Cancel", IDCANCEL, WS_TABSTOP | BS_PUSHBUTTON, 0, 76, 129, 40, 12},
};

const DialogItemTemplate TASK_ITEMS[] = {
    {WC_STATICW, u"Subject:", SUBJECT_LABEL_ID, SS_LEFT, 0, 0, 0, 30, 10},
    {WC_EDITW, nullptr, SUBJECT_ID, WS_TABSTOP | ES_AUTOHSCROLL | WS_BORDER, 0, 30, 0, 106, 12},
    {WC_STATICW, u"Starts:", FIRST_LABEL_ID, SS_LEFT, 0, 0, 13, 30, 10},
    {WC_EDITW, nullptr, FIRST_ID, WS_TABSTOP | ES_AUTOHSCROLL | WS_BORDER, 0, 30, 13, 106, 12},
    {WC_STATICW, u"Due:", SECOND_LABEL_ID, SS_LEFT, 0, 0, 26, 30, 10},
    {WC_EDITW, nullptr, SECOND_ID, WS_TABSTOP | ES_AUTOHSCROLL | WS_BORDER, 0, 30, 26, 106, 12},
    {WC_STATICW, nullptr, BODY_ID, SS_LEFT, 0, 0, 42, 136, 80},
    {WC_BUTTONW, u"OK", IDOK, WS_TABSTOP | BS_PUSHBUTTON, 0, 20, 129, 40, 12},
    {WC_BUTTONW, u"Cancel", IDCANCEL, WS_TABSTOP | BS_PUSHBUTTON, 0, 76, 129, 40, 12},
};

// The item's fields as the form shows them.
struct FormTexts {
  std::u16string subject, first, second, body;
};

// One open form: the item (one of the two interfaces) and what it showed.
struct Form {
  IAppointment *appointment = nullptr;
  ITask *task = nullptr;
  FormTexts shown;
  const char16_t *caption = u"";
};

// A text the item hands out through getter, as a string (empty on failure).
template <class Getter>
std::u16string takeText(Getter getter)
{
  BSTR text = nullptr;
  const HRESULT hr = getter(&text);
  std::u16string out = SUCCEEDED(hr) && text ? std::u16string(text, SysStringLen(text)) : std::u16string();
  SysFreeString(text);
  return out;
}

// Notes end their lines with CRLF; the display breaks lines at LF.
std::u16string shownBody(std::u16string body)
{
  body.erase(std::remove(body.begin(), body.end(), u'\r'), body.end());
  return body;
}

FormTexts readItem(const Form &form)
{
  FormTexts texts;
  DATE first = POOM_NO_DATE, second = POOM_NO_DATE;
  if (IAppointment *a = form.appointment) {
    texts.subject = takeText([a](BSTR *p) { return a->get_Subject(p); });
    texts.body = takeText([a](BSTR *p) { return a->get_Body(p); });
    form.appointment->get_Start(&first);
    form.appointment->get_End(&second);
  } else {
    ITask *t = form.task;
    texts.subject = takeText([t](BSTR *p) { return t->get_Subject(p); });
    texts.body = takeText([t](BSTR *p) { return t->get_Body(p); });
    form.task->get_StartDate(&first);
    form.task->get_DueDate(&second);
  }
  const bool withTime = form.appointment != nullptr;
  texts.first = formTimeText(first, withTime);
  texts.second = formTimeText(second, withTime);
  return texts;
}

std::u16string controlText(HWND dialog, int id)
{
  HWND control = GetDlgItem(dialog, id);
  std::u16string text(static_cast<std::size_t>(GetWindowTextLengthW(control)) + 1, u'\0');
  text.resize(GetDlgItemTextW(dialog, id, text.data(), static_cast<int>(text.size())));
  return text;
}

void refuse(HWND dialog, const Form &form, const char16_t *why)
{
  MessageBoxW(dialog, why, form.caption, MB_OK | MB_ICONERROR);
}

// The typed times, checked before anything is handed to the item, so that a
// refused form leaves the item as it was. False (said in a box) when a time
// cannot be read or the end is before the start.
bool readTimes(HWND dialog, const Form &form, const FormTexts &typed, DATE *first, DATE *second)
{
  const bool appointment = form.appointment != nullptr;
  if (!parseFormTime(typed.first, appointment, !appointment, first)) {
    refuse(dialog, form,
           appointment ? u"The start is not a time: write it as YYYY-MM-DD HH:MM."
                       : u"The start date is not a date: write it as YYYY-MM-DD, or leave it empty.");
    return false;
  }
  if (!parseFormTime(typed.second, appointment, !appointment, second)) {
    refuse(dialog, form,
           appointment ? u"The end is not a time: write it as YYYY-MM-DD HH:MM."
                       : u"The due date is not a date: write it as YYYY-MM-DD, or leave it empty.");
    return false;
  }
  if (appointment && typed.first != form.shown.first && typed.second == form.shown.second) {
    // A new start alone keeps the length, as the item does.
    DATE oldFirst = 0, oldSecond = 0;
    parseFormTime(form.shown.first, true, false, &oldFirst);
    parseFormTime(form.shown.second, true, false, &oldSecond);
    *second = *first + (oldSecond - oldFirst);
  }
  if (appointment && *second < *first) {
    refuse(dialog, form, u"The end is before the start.");
    return false;
  }
  return true;
}

// Hands the changed fields to the item and saves it. True when the form may
// close: nothing changed, or the item was saved.
bool confirm(HWND dialog, Form &form)
{
  FormTexts typed = form.shown;
  typed.subject = controlText(dialog, SUBJECT_ID);
  typed.first = controlText(dialog, FIRST_ID);
  typed.second = controlText(dialog, SECOND_ID);
  const bool subjectChanged = typed.subject != form.shown.subject;
  const bool firstChanged = typed.first != form.shown.first;
  const bool secondChanged = typed.second != form.shown.second;
  if (!subjectChanged && !firstChanged && !secondChanged)
    return true;
  DATE first = 0, second = 0;
  if ((firstChanged || secondChanged) && !readTimes(dialog, form, typed, &first, &second))
    return false;
  HRESULT hr = S_OK;
  if (form.appointment) {
    if (subjectChanged)
      hr = form.appointment->put_Subject(const_cast<BSTR>(typed.subject.c_str()));
    if (SUCCEEDED(hr) && firstChanged)
      hr = form.appointment->put_Start(first);
    if (SUCCEEDED(hr) && (firstChanged || secondChanged))
      hr = form.appointment->put_End(second);
    if (SUCCEEDED(hr))
      hr = form.appointment->Save();
  } else {
    if (subjectChanged)
      hr = form.task->put_Subject(const_cast<BSTR>(typed.subject.c_str()));
    if (SUCCEEDED(hr) && firstChanged)
      hr = form.task->put_StartDate(first);
    if (SUCCEEDED(hr) && secondChanged)
      hr = form.task->put_DueDate(second);
    if (SUCCEEDED(hr))
      hr = form.task->Save();
  }
  if (FAILED(hr)) {
    refuse(dialog, form, u"The changes could not be saved; the file is as it was.");
    return false;
  }
  form.shown = typed;
  return true;
}

void layout(HWND dialog)
{
  RECT r;
  GetClientRect(dialog, &r);
  const int w = r.right, h = r.bottom;
  const int line = DISPLAY_CELL_HEIGHT;
  const int label = LABEL_CELLS * DISPLAY_CELL_WIDTH;
  const int rows[][2] = {{SUBJECT_LABEL_ID, SUBJECT_ID}, {FIRST_LABEL_ID, FIRST_ID}, {SECOND_LABEL_ID, SECOND_ID}};
  for (int i = 0; i < 3; ++i) {
    MoveWindow(GetDlgItem(dialog, rows[i][0]), 0, i * line, label, line, TRUE);
    MoveWindow(GetDlgItem(dialog, rows[i][1]), label, i * line, std::max(line, w - label), line, TRUE);
  }
  MoveWindow(GetDlgItem(dialog, BODY_ID), 0, 4 * line, w, std::max(line, h - 6 * line), TRUE);
  const int button = 12 * DISPLAY_CELL_WIDTH;
  MoveWindow(GetDlgItem(dialog, IDOK), w / 4 - button / 2, h - line, button, line, TRUE);
  MoveWindow(GetDlgItem(dialog, IDCANCEL), 3 * w / 4 - button / 2, h - line, button, line, TRUE);
}

INT_PTR formProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
  auto *form = reinterpret_cast<Form *>(GetWindowLongPtrW(dialog, GWLP_USERDATA));
  switch (message) {
  case WM_INITDIALOG: {
    form = reinterpret_cast<Form *>(lParam);
    SetWindowLongPtrW(dialog, GWLP_USERDATA, lParam);
    SHINITDLGINFO info{SHIDIM_FLAGS, dialog, SHIDIF_SIZEDLGFULLSCREEN | SHIDIF_DONEBUTTON};
    SHInitDialog(&info);
    SetDlgItemTextW(dialog, SUBJECT_ID, form->shown.subject.c_str());
    SetDlgItemTextW(dialog, FIRST_ID, form->shown.first.c_str());
    SetDlgItemTextW(dialog, SECOND_ID, form->shown.second.c_str());
    SetDlgItemTextW(dialog, BODY_ID, shownBody(form->shown.body).c_str());
    layout(dialog);
    return TRUE;
  }
  case WM_SIZE:
    layout(dialog);
    return TRUE;
  case WM_COMMAND:
    if (!form)
      return FALSE;
    if (LOWORD(wParam) == IDOK) {
      if (confirm(dialog, *form))
        EndDialog(dialog, IDOK);
      return TRUE;
    }
    if (LOWORD(wParam) == IDCANCEL) {
      EndDialog(dialog, IDCANCEL);
      return TRUE;
    }
    return FALSE;
  case WM_CLOSE:
    EndDialog(dialog, IDCANCEL);
    return TRUE;
  default:
    return FALSE;
  }
}

int digits(std::u16string_view text, std::size_t at, std::size_t count)
{
  int value = 0;
  for (std::size_t i = at; i < at + count; ++i) {
    if (text[i] < u'0' || text[i] > u'9')
      return -1;
    value = value * 10 + (text[i] - u'0');
  }
  return value;
}

} // namespace

std::u16string formTimeText(DATE time, bool withTime)
{
  CivilTime t;
  if ((!withTime && time == POOM_NO_DATE) || !dateToCivil(time, &t))
    return {};
  char text[32];
  if (withTime)
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d", t.year, t.month, t.day, t.hour, t.minute);
  else
    std::snprintf(text, sizeof text, "%04d-%02d-%02d", t.year, t.month, t.day);
  return utf8ToUtf16(text);
}

bool parseFormTime(std::u16string_view text, bool withTime, bool allowEmpty, DATE *time)
{
  while (!text.empty() && (text.front() == u' ' || text.front() == u'\t'))
    text.remove_prefix(1);
  while (!text.empty() && (text.back() == u' ' || text.back() == u'\t'))
    text.remove_suffix(1);
  if (text.empty()) {
    if (allowEmpty)
      *time = POOM_NO_DATE;
    return allowEmpty;
  }
  if (text.size() != 10 && !(withTime && text.size() == 16 && text[10] == u' ' && text[13] == u':'))
    return false;
  if (text[4] != u'-' || text[7] != u'-')
    return false;
  CivilTime t;
  t.year = digits(text, 0, 4);
  t.month = digits(text, 5, 2);
  t.day = digits(text, 8, 2);
  t.hour = text.size() == 16 ? digits(text, 11, 2) : 0;
  t.minute = text.size() == 16 ? digits(text, 14, 2) : 0;
  t.second = 0;
  if (t.year < 100 || t.month < 1 || t.month > 12 || t.day < 1 || t.hour < 0 || t.hour > 23 || t.minute < 0 ||
      t.minute > 59)
    return false;
  // A day the month does not have comes back as another day.
  CivilTime back;
  const DATE value = civilToDate(t);
  if (!dateToCivil(value, &back) || back.year != t.year || back.month != t.month || back.day != t.day)
    return false;
  *time = value;
  return true;
}

HRESULT showItemForm(IDispatch *item)
{
  if (!item)
    return E_POINTER;
  Form form;
  const DialogItemTemplate *items = APPOINTMENT_ITEMS;
  std::size_t count = std::size(APPOINTMENT_ITEMS);
  if (SUCCEEDED(item->QueryInterface(IID_IAppointment, reinterpret_cast<void **>(&form.appointment)))) {
    form.caption = u"Appointment";
  } else if (SUCCEEDED(item->QueryInterface(IID_ITask, reinterpret_cast<void **>(&form.task)))) {
    form.caption = u"Task";
    items = TASK_ITEMS;
    count = std::size(TASK_ITEMS);
  } else {
    return E_NOINTERFACE;
  }
  HRESULT result = S_FALSE;
  if (displayAvailableHere()) {
    form.shown = readItem(form);
    DialogTemplate tpl{0, WS_POPUP | WS_CAPTION, 0, 0, 0, 136, 143, nullptr, form.caption, u"System", 8, items,
                       count};
    if (DialogBoxIndirectParamW(nullptr, &tpl, nullptr, formProc, reinterpret_cast<LPARAM>(&form)) >= 0)
      result = S_OK;
  }
  if (form.appointment)
    form.appointment->Release();
  if (form.task)
    form.task->Release();
  return result;
}
