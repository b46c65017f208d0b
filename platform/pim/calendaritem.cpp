#include "platform/pim/calendaritem.h"

#include "platform/pim/icalendar.h"
#include "platform/pim/pimtime.h"

#include <algorithm>

namespace {

// A UID as a file name, when it is a safe one: other programs' UIDs may hold
// slashes or start with a dot, and such a file name would leave the folder or
// hide the file. Others get a new name.
std::string fileStemFor(const std::string &uid)
{
  bool safe = !uid.empty() && uid.size() <= 200 && uid[0] != '.';
  for (char c : uid)
    safe = safe && ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                    c == '-' || c == '_' || c == '.' || c == '@');
  return safe ? uid : newUid();
}

} // namespace

CalendarItem newCalendarItem(std::string_view componentName)
{
  return CalendarItem{newCalendar(componentName, newUid()), {}};
}

Component &itemComponent(CalendarItem &item, std::string_view componentName)
{
  return *findChild(item.calendar, componentName); // every CalendarItem is made with one
}

HRESULT writeCalendarItem(CalendarItem *item, PimFolder folder, std::string_view componentName)
{
  Component &c = itemComponent(*item, componentName);
  stampComponent(&c, nowUnix());
  std::filesystem::path path = item->file;
  if (path.empty()) {
    const ContentLine *uid = findLine(c, "UID");
    if (!uid || uid->value.empty()) {
      c.lines.push_back(ContentLine{{}, "UID", {}, newUid()});
      uid = &c.lines.back();
    }
    path = pimFolderPath(folder) / (fileStemFor(uid->value) + ".ics");
  }
  std::string text;
  appendComponent(text, item->calendar);
  if (!writeItemFile(path, text))
    return E_FAIL;
  item->file = path;
  return S_OK;
}

HRESULT deleteCalendarItem(CalendarItem *item)
{
  if (item->file.empty())
    return S_OK;
  std::error_code ec;
  std::filesystem::remove(item->file, ec);
  if (ec)
    return E_FAIL;
  item->file.clear();
  return S_OK;
}

CalendarItem copyCalendarItem(const CalendarItem &item, std::string_view componentName)
{
  CalendarItem copy{item.calendar, {}};
  auto &children = copy.calendar.children;
  bool seen = false; // the first component of the kind is the item itself
  std::erase_if(children, [&](const Component &c) {
    if (c.name != componentName)
      return false;
    bool later = seen;
    seen = true;
    return later;
  });
  Component &c = itemComponent(copy, componentName);
  std::erase_if(c.lines, [](const ContentLine &l) {
    return l.name == "UID" || l.name == "CREATED" || l.name == "DTSTAMP" ||
           l.name == "LAST-MODIFIED" || l.name == "RECURRENCE-ID";
  });
  c.lines.insert(c.lines.begin(), ContentLine{{}, "UID", {}, newUid()});
  return copy;
}
