// Calendar files from other programs: an appointment or task read from any
// text; saving it unchanged changes nothing, and writing it whole gives a
// calendar that reads back with its item.
#include "platform/pim/icalendar.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

bool sameLines(const Component &a, const Component &b)
{
  if (a.name != b.name || a.lines.size() != b.lines.size() || a.children.size() != b.children.size())
    return false;
  for (std::size_t i = 0; i < a.lines.size(); ++i)
    if (a.lines[i].name != b.lines[i].name || a.lines[i].value != b.lines[i].value)
      return false;
  for (std::size_t i = 0; i < a.children.size(); ++i)
    if (!sameLines(a.children[i], b.children[i]))
      return false;
  return true;
}

template <class Record, class Read, class Store>
void check(std::string_view text, const char *name, Read read, Store store)
{
  Component calendar;
  if (!readCalendar(text, name, &calendar))
    return;
  Component &item = *findChild(calendar, name);
  Record record = read(item);
  Component unchanged = item;
  store(record, &record, &unchanged);
  if (!sameLines(unchanged, item))
    std::abort();

  store(record, nullptr, &item);
  stampComponent(&item, 1796722800);
  std::string written;
  appendComponent(written, calendar);
  Component back;
  if (!readCalendar(written, name, &back))
    std::abort();
  (void)read(*findChild(back, name));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
  std::string_view text(reinterpret_cast<const char *>(data), size);
  check<AppointmentRecord>(text, "VEVENT", appointmentFromEvent, storeAppointment);
  check<TaskRecord>(text, "VTODO", taskFromTodo, storeTask);
  return 0;
}
