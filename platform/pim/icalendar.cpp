#include "platform/pim/icalendar.h"

#include "platform/text/wstr.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstdio>
#include <random>

namespace {

constexpr double MINUTES_PER_DAY = 1440.0;
constexpr double SECONDS_PER_DAY = 86400.0;

// Our own properties for fields that iCalendar has no place for.
constexpr const char *SOUND_PROPERTY = "X-QUILLMARSH-REMINDER-SOUND";
constexpr const char *OPTIONS_PROPERTY = "X-QUILLMARSH-REMINDER-OPTIONS";
constexpr const char *TEAMTASK_PROPERTY = "X-QUILLMARSH-TEAMTASK";
constexpr const char *BUSY_PROPERTY = "X-MICROSOFT-CDO-BUSYSTATUS";

void removeLines(Component *c, std::string_view name)
{
  std::erase_if(c->lines, [&](const ContentLine &l) { return l.name == name; });
}

// Sets the first line of that name and removes any further ones.
void setLine(Component *c, const std::string &name, std::string value,
             std::vector<ContentParam> params = {})
{
  auto first = std::find_if(c->lines.begin(), c->lines.end(),
                            [&](const ContentLine &l) { return l.name == name; });
  if (first == c->lines.end()) {
    c->lines.push_back(ContentLine{{}, name, std::move(params), std::move(value)});
    return;
  }
  first->group.clear();
  first->params = std::move(params);
  first->value = std::move(value);
  std::size_t keep = static_cast<std::size_t>(first - c->lines.begin());
  for (std::size_t i = c->lines.size(); i-- > keep + 1;)
    if (c->lines[i].name == name)
      c->lines.erase(c->lines.begin() + static_cast<std::ptrdiff_t>(i));
}

// The object model's texts end lines with CRLF; iCalendar's with "\n".
std::u16string textOf(const Component &c, std::string_view name)
{
  const ContentLine *l = findLine(c, name);
  if (!l)
    return {};
  std::u16string raw = utf8ToUtf16(unescapeText(l->value));
  std::u16string out;
  out.reserve(raw.size());
  for (char16_t ch : raw) {
    if (ch == u'\n')
      out += u'\r';
    out += ch;
  }
  return out;
}

void putText(Component *c, const std::string &name, const std::u16string &text)
{
  if (text.empty())
    removeLines(c, name);
  else
    setLine(c, name, escapeText(utf16ToUtf8(text)));
}

std::u16string trimmedText(std::u16string_view s)
{
  std::size_t first = s.find_first_not_of(u" \t");
  if (first == std::u16string_view::npos)
    return {};
  std::size_t last = s.find_last_not_of(u" \t");
  return std::u16string(s.substr(first, last - first + 1));
}

// All CATEGORIES lines, as one comma list.
std::u16string categoriesOf(const Component &c)
{
  std::u16string out;
  for (const ContentLine &l : c.lines) {
    if (l.name != "CATEGORIES")
      continue;
    for (const std::string &part : splitValue(l.value, ',')) {
      std::u16string name = trimmedText(utf8ToUtf16(unescapeText(part)));
      if (name.empty())
        continue;
      if (!out.empty())
        out += u", ";
      out += name;
    }
  }
  return out;
}

void putCategories(Component *c, const std::u16string &categories)
{
  std::string value;
  std::u16string_view rest = categories;
  while (true) {
    std::size_t comma = rest.find(u',');
    std::u16string name = trimmedText(rest.substr(0, comma));
    if (!name.empty()) {
      if (!value.empty())
        value += ',';
      value += escapeText(utf16ToUtf8(name));
    }
    if (comma == std::u16string_view::npos)
      break;
    rest.remove_prefix(comma + 1);
  }
  if (value.empty())
    removeLines(c, "CATEGORIES");
  else
    setLine(c, "CATEGORIES", value);
}

bool timeOf(const Component &c, std::string_view name, ICalTime *t)
{
  const ContentLine *l = findLine(c, name);
  return l && parseICalTime(l->value, t);
}

// A local DATE as a UTC DATE-TIME text.
std::string utcText(DATE local)
{
  CivilTime t;
  dateToCivil(local, &t);
  return formatICalUtc(localToUnix(t));
}

// A local DATE's day as a DATE text.
std::string dayText(DATE local)
{
  CivilTime t;
  dateToCivil(local, &t);
  return formatICalDate(t);
}

DATE midnightOf(DATE local)
{
  CivilTime t;
  if (!dateToCivil(local, &t))
    return local;
  t.hour = t.minute = t.second = 0;
  return civilToDate(t);
}

std::vector<ContentParam> dateParams() { return {ContentParam{"VALUE", "DATE"}}; }

bool isPrivate(const Component &c)
{
  const ContentLine *l = findLine(c, "CLASS");
  return l && (equalsIgnoreCase(l->value, "PRIVATE") || equalsIgnoreCase(l->value, "CONFIDENTIAL"));
}

LONG numberOf(const Component &c, std::string_view name)
{
  const ContentLine *l = findLine(c, name);
  if (!l)
    return 0;
  long v = std::strtol(l->value.c_str(), nullptr, 10);
  return static_cast<LONG>(std::clamp<long>(v, INT32_MIN, INT32_MAX));
}

bool recurs(const Component &c) { return findLine(c, "RRULE") || findLine(c, "RDATE"); }

void dropRecurrence(Component *c)
{
  removeLines(c, "RRULE");
  removeLines(c, "RDATE");
  removeLines(c, "EXDATE");
}

void putReminderExtras(Component *c, const std::u16string &sound, LONG options)
{
  putText(c, SOUND_PROPERTY, sound);
  if (options == 0)
    removeLines(c, OPTIONS_PROPERTY);
  else
    setLine(c, OPTIONS_PROPERTY, std::to_string(options));
}

Component alarm(const std::u16string &subject, std::string trigger, std::vector<ContentParam> params)
{
  Component a;
  a.name = "VALARM";
  a.lines.push_back(ContentLine{{}, "ACTION", {}, "DISPLAY"});
  std::string description = subject.empty() ? std::string("Reminder") : escapeText(utf16ToUtf8(subject));
  a.lines.push_back(ContentLine{{}, "DESCRIPTION", {}, description});
  a.lines.push_back(ContentLine{{}, "TRIGGER", std::move(params), std::move(trigger)});
  return a;
}

void removeAlarms(Component *c)
{
  std::erase_if(c->children, [](const Component &child) { return child.name == "VALARM"; });
}

// The moment of an alarm's TRIGGER, in local DATE, given the times a relative
// trigger may refer to. False when it cannot be told.
bool triggerTime(const ContentLine &trigger, DATE start, DATE end, DATE *when)
{
  ICalTime t;
  if (parseICalTime(trigger.value, &t)) {
    *when = icalToDate(t);
    return true;
  }
  std::int64_t seconds;
  if (!parseICalDuration(trigger.value, &seconds))
    return false;
  const std::string *related = findParam(trigger, "RELATED");
  DATE base = related && equalsIgnoreCase(*related, "END") ? end : start;
  if (base == POOM_NO_DATE)
    return false;
  *when = base + static_cast<double>(seconds) / SECONDS_PER_DAY;
  return true;
}

const ContentLine *firstTrigger(const Component &c)
{
  for (const Component &child : c.children)
    if (child.name == "VALARM")
      if (const ContentLine *t = findLine(child, "TRIGGER"))
        return t;
  return nullptr;
}

} // namespace

AppointmentRecord appointmentFromEvent(const Component &e)
{
  AppointmentRecord r;
  r.subject = textOf(e, "SUMMARY");
  r.location = textOf(e, "LOCATION");
  r.categories = categoriesOf(e);
  r.body = textOf(e, "DESCRIPTION");
  ICalTime t;
  if (timeOf(e, "DTSTART", &t)) {
    r.start = icalToDate(t);
    r.allDay = t.dateOnly;
  }
  std::int64_t seconds;
  const ContentLine *duration = findLine(e, "DURATION");
  if (timeOf(e, "DTEND", &t))
    r.end = icalToDate(t);
  else if (duration && parseICalDuration(duration->value, &seconds))
    r.end = r.start + static_cast<double>(seconds) / SECONDS_PER_DAY;
  else
    r.end = r.allDay ? r.start + 1 : r.start;
  // Times the object model cannot hold (past the year 9999 in local time,
  // or a duration that runs past it) fall back to the nearest sound value.
  CivilTime check;
  if (!dateToCivil(r.start, &check))
    r.start = 0;
  if (r.end < r.start || !dateToCivil(r.end, &check))
    r.end = r.start;

  if (const ContentLine *busy = findLine(e, BUSY_PROPERTY)) {
    if (equalsIgnoreCase(busy->value, "FREE"))
      r.busyStatus = 0;
    else if (equalsIgnoreCase(busy->value, "TENTATIVE"))
      r.busyStatus = 1;
    else if (equalsIgnoreCase(busy->value, "OOF"))
      r.busyStatus = 3;
  } else if (const ContentLine *transp = findLine(e, "TRANSP")) {
    if (equalsIgnoreCase(transp->value, "TRANSPARENT"))
      r.busyStatus = 0;
  }
  r.sensitivity = isPrivate(e) ? 2 : 0;

  if (const ContentLine *trigger = firstTrigger(e)) {
    DATE when;
    r.reminderSet = true;
    if (triggerTime(*trigger, r.start, r.end, &when))
      r.reminderMinutes = std::max<LONG>(0, static_cast<LONG>(std::lround((r.start - when) * MINUTES_PER_DAY)));
  }
  r.reminderSoundFile = textOf(e, SOUND_PROPERTY);
  r.reminderOptions = numberOf(e, OPTIONS_PROPERTY);
  r.recurring = recurs(e);
  return r;
}

void storeAppointment(const AppointmentRecord &now, const AppointmentRecord *before, Component *e)
{
  if (!before || now.subject != before->subject)
    putText(e, "SUMMARY", now.subject);
  if (!before || now.location != before->location)
    putText(e, "LOCATION", now.location);
  if (!before || now.categories != before->categories)
    putCategories(e, now.categories);
  if (!before || now.body != before->body)
    putText(e, "DESCRIPTION", now.body);
  if (!before || now.start != before->start || now.end != before->end || now.allDay != before->allDay) {
    removeLines(e, "DURATION");
    if (now.allDay) {
      // DTEND is the day after the last one, so at least one day after DTSTART.
      DATE lastEnd = std::max(midnightOf(now.end), midnightOf(now.start) + 1);
      setLine(e, "DTSTART", dayText(now.start), dateParams());
      setLine(e, "DTEND", dayText(lastEnd), dateParams());
    } else {
      setLine(e, "DTSTART", utcText(now.start));
      setLine(e, "DTEND", utcText(std::max(now.end, now.start)));
    }
  }
  if (!before || now.busyStatus != before->busyStatus) {
    static const char *const busyNames[] = {"FREE", "TENTATIVE", "BUSY", "OOF"};
    setLine(e, "TRANSP", now.busyStatus == 0 ? "TRANSPARENT" : "OPAQUE");
    setLine(e, BUSY_PROPERTY, busyNames[now.busyStatus]);
  }
  if (!before || now.sensitivity != before->sensitivity)
    setLine(e, "CLASS", now.sensitivity == 2 ? "PRIVATE" : "PUBLIC");
  if (!before || now.reminderSet != before->reminderSet ||
      now.reminderMinutes != before->reminderMinutes) {
    removeAlarms(e);
    if (now.reminderSet)
      e->children.push_back(
          alarm(now.subject, "-PT" + std::to_string(now.reminderMinutes) + "M", {}));
  }
  if (!before || now.reminderSoundFile != before->reminderSoundFile ||
      now.reminderOptions != before->reminderOptions)
    putReminderExtras(e, now.reminderSoundFile, now.reminderOptions);
  if (!now.recurring && (!before || before->recurring))
    dropRecurrence(e);
}

TaskRecord taskFromTodo(const Component &c)
{
  TaskRecord r;
  r.subject = textOf(c, "SUMMARY");
  r.categories = categoriesOf(c);
  r.body = textOf(c, "DESCRIPTION");
  ICalTime t;
  if (timeOf(c, "DTSTART", &t))
    r.startDate = midnightOf(icalToDate(t));
  if (timeOf(c, "DUE", &t))
    r.dueDate = midnightOf(icalToDate(t));
  const ContentLine *status = findLine(c, "STATUS");
  bool completedAt = timeOf(c, "COMPLETED", &t);
  r.complete = (status && equalsIgnoreCase(status->value, "COMPLETED")) || completedAt;
  if (completedAt)
    r.dateCompleted = midnightOf(icalToDate(t));
  LONG priority = numberOf(c, "PRIORITY");
  if (priority >= 1 && priority <= 4)
    r.importance = 2;
  else if (priority >= 6 && priority <= 9)
    r.importance = 0;
  r.sensitivity = isPrivate(c) ? 2 : 0;
  const ContentLine *team = findLine(c, TEAMTASK_PROPERTY);
  r.teamTask = team && equalsIgnoreCase(team->value, "TRUE");
  if (const ContentLine *trigger = firstTrigger(c)) {
    DATE when;
    r.reminderSet = true;
    if (triggerTime(*trigger, r.startDate, r.dueDate, &when))
      r.reminderTime = when;
  }
  r.reminderSoundFile = textOf(c, SOUND_PROPERTY);
  r.reminderOptions = numberOf(c, OPTIONS_PROPERTY);
  r.recurring = recurs(c);
  // Dates the object model cannot hold count as none.
  for (DATE *d : {&r.startDate, &r.dueDate, &r.dateCompleted, &r.reminderTime}) {
    CivilTime check;
    if (*d != POOM_NO_DATE && !dateToCivil(*d, &check))
      *d = POOM_NO_DATE;
  }
  return r;
}

void storeTask(const TaskRecord &now, const TaskRecord *before, Component *c)
{
  if (!before || now.subject != before->subject)
    putText(c, "SUMMARY", now.subject);
  if (!before || now.categories != before->categories)
    putCategories(c, now.categories);
  if (!before || now.body != before->body)
    putText(c, "DESCRIPTION", now.body);
  if (!before || now.startDate != before->startDate) {
    if (now.startDate == POOM_NO_DATE)
      removeLines(c, "DTSTART");
    else
      setLine(c, "DTSTART", dayText(now.startDate), dateParams());
  }
  if (!before || now.dueDate != before->dueDate) {
    removeLines(c, "DURATION");
    if (now.dueDate == POOM_NO_DATE)
      removeLines(c, "DUE");
    else
      setLine(c, "DUE", dayText(now.dueDate), dateParams());
  }
  if (!before || now.complete != before->complete || now.dateCompleted != before->dateCompleted) {
    if (now.complete) {
      setLine(c, "STATUS", "COMPLETED");
      setLine(c, "PERCENT-COMPLETE", "100");
      if (now.dateCompleted != POOM_NO_DATE)
        setLine(c, "COMPLETED", utcText(now.dateCompleted));
      else
        removeLines(c, "COMPLETED");
    } else {
      setLine(c, "STATUS", "NEEDS-ACTION");
      removeLines(c, "PERCENT-COMPLETE");
      removeLines(c, "COMPLETED");
    }
  }
  if (!before || now.importance != before->importance)
    setLine(c, "PRIORITY", now.importance == 2 ? "1" : now.importance == 0 ? "9" : "5");
  if (!before || now.sensitivity != before->sensitivity)
    setLine(c, "CLASS", now.sensitivity == 2 ? "PRIVATE" : "PUBLIC");
  if (!before || now.teamTask != before->teamTask) {
    if (now.teamTask)
      setLine(c, TEAMTASK_PROPERTY, "TRUE");
    else
      removeLines(c, TEAMTASK_PROPERTY);
  }
  if (!before || now.reminderSet != before->reminderSet || now.reminderTime != before->reminderTime) {
    removeAlarms(c);
    if (now.reminderSet && now.reminderTime != POOM_NO_DATE)
      c->children.push_back(alarm(now.subject, utcText(now.reminderTime), {ContentParam{"VALUE", "DATE-TIME"}}));
  }
  if (!before || now.reminderSoundFile != before->reminderSoundFile ||
      now.reminderOptions != before->reminderOptions)
    putReminderExtras(c, now.reminderSoundFile, now.reminderOptions);
  if (!now.recurring && (!before || before->recurring))
    dropRecurrence(c);
}

Component newCalendar(std::string_view componentName, const std::string &uid)
{
  Component cal;
  cal.name = "VCALENDAR";
  cal.lines.push_back(ContentLine{{}, "VERSION", {}, "2.0"});
  cal.lines.push_back(ContentLine{{}, "PRODID", {}, "-//Tarnwell//Quillmarsh PIM//EN"});
  Component item;
  item.name = std::string(componentName);
  item.lines.push_back(ContentLine{{}, "UID", {}, uid});
  cal.children.push_back(std::move(item));
  return cal;
}

void stampComponent(Component *item, std::int64_t now)
{
  std::string stamp = formatICalUtc(now);
  setLine(item, "DTSTAMP", stamp);
  if (!findLine(*item, "CREATED"))
    setLine(item, "CREATED", stamp);
  setLine(item, "LAST-MODIFIED", stamp);
}

bool readCalendar(std::string_view text, std::string_view componentName, Component *vcalendar)
{
  std::vector<Component> top = parseComponents(text);
  for (Component &c : top) {
    if (c.name == "VCALENDAR" && findChild(c, componentName)) {
      *vcalendar = std::move(c);
      return true;
    }
  }
  // A bare component without its calendar around it.
  for (Component &c : top) {
    if (c.name == componentName) {
      Component cal = newCalendar(componentName, {});
      cal.children.front() = std::move(c);
      *vcalendar = std::move(cal);
      return true;
    }
  }
  return false;
}

std::string newUid()
{
  std::random_device random;
  auto draw64 = [&] { return (std::uint64_t{random()} << 32) | random(); };
  std::uint64_t hi = draw64();
  std::uint64_t lo = draw64();
  hi = (hi & 0xFFFFFFFFFFFF0FFFULL) | 0x0000000000004000ULL; // version 4
  lo = (lo & 0x3FFFFFFFFFFFFFFFULL) | 0x8000000000000000ULL; // RFC 4122 variant
  char buf[40];
  std::snprintf(buf, sizeof buf, "%08x-%04x-%04x-%04x-%012llx", static_cast<unsigned>(hi >> 32),
                static_cast<unsigned>((hi >> 16) & 0xFFFF), static_cast<unsigned>(hi & 0xFFFF),
                static_cast<unsigned>(lo >> 48),
                static_cast<unsigned long long>(lo & 0xFFFFFFFFFFFFULL));
  return buf;
}
