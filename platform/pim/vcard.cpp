#include "platform/pim/vcard.h"

#include "platform/codepage/codepage.h"
#include "platform/pim/pimtime.h"
#include "platform/text/wstr.h"

#include <climits>

namespace {

bool validUtf8(std::string_view s)
{
  std::size_t i = 0;
  while (i < s.size()) {
    auto c = static_cast<unsigned char>(s[i]);
    std::size_t n;
    std::uint32_t cp;
    if (c < 0x80) {
      ++i;
      continue;
    } else if (c >= 0xC2 && c <= 0xDF) {
      n = 1;
      cp = c & 0x1F;
    } else if (c >= 0xE0 && c <= 0xEF) {
      n = 2;
      cp = c & 0x0F;
    } else if (c >= 0xF0 && c <= 0xF4) {
      n = 3;
      cp = c & 0x07;
    } else {
      return false;
    }
    if (i + n >= s.size())
      return false;
    for (std::size_t k = 1; k <= n; ++k) {
      auto cc = static_cast<unsigned char>(s[i + k]);
      if ((cc & 0xC0) != 0x80)
        return false;
      cp = (cp << 6) | (cc & 0x3F);
    }
    // Overlong forms, surrogates and values past U+10FFFF.
    if ((n == 2 && cp < 0x800) || (n == 3 && cp < 0x10000) || cp > 0x10FFFF ||
        (cp >= 0xD800 && cp <= 0xDFFF))
      return false;
    i += n + 1;
  }
  return true;
}

void collectCards(std::vector<Component> &from, std::vector<Component> &into)
{
  for (Component &c : from) {
    std::vector<Component> nested = std::move(c.children);
    c.children.clear();
    if (c.name == "VCARD")
      into.push_back(std::move(c));
    collectCards(nested, into);
  }
}

std::u16string text(std::string_view escaped) { return legacyTextToUtf16(unescapeText(escaped)); }

DATE dateOf(const ContentLine *line)
{
  ICalTime t;
  if (!line || !parseICalTime(line->value, &t))
    return POOM_NO_DATE;
  ICalTime day = t;
  day.dateOnly = true; // a birthday is a day, whatever time was written
  return icalToDate(day);
}

std::u16string phoneNumber(const ContentLine &tel)
{
  std::string_view v = tel.value;
  if (v.size() >= 4 && equalsIgnoreCase(v.substr(0, 4), "tel:"))
    v.remove_prefix(4);
  return text(v);
}

bool isSpecialPhone(const ContentLine &tel)
{
  return hasParamValue(tel, "TYPE", "fax") || hasParamValue(tel, "TYPE", "cell") ||
         hasParamValue(tel, "TYPE", "pager");
}

// Sets field from the first TEL line that fits, keeping an earlier one.
template <class Fits>
void firstPhone(const Component &card, std::u16string *field, Fits fits)
{
  for (const ContentLine &l : card.lines) {
    if (l.name == "TEL" && fits(l)) {
      *field = phoneNumber(l);
      if (!field->empty())
        return;
    }
  }
}

} // namespace

std::u16string legacyTextToUtf16(std::string_view bytes)
{
  if (validUtf8(bytes))
    return utf8ToUtf16(bytes);
  if (bytes.size() > static_cast<std::size_t>(INT_MAX / 2))
    return utf8ToUtf16(bytes);
  int n = static_cast<int>(bytes.size());
  std::u16string out(bytes.size(), u'\0');
  int written = MultiByteToWideChar(CP_ACP, 0, bytes.data(), n, out.data(), n);
  if (written <= 0)
    return utf8ToUtf16(bytes);
  out.resize(static_cast<std::size_t>(written));
  return out;
}

std::vector<Component> readVCards(std::string_view text)
{
  std::vector<Component> top = parseComponents(text);
  std::vector<Component> cards;
  collectCards(top, cards);
  return cards;
}

ContactRecord contactFromVCard(const Component &card)
{
  ContactRecord r;
  int emails = 0;
  for (const ContentLine &l : card.lines) {
    if (l.name != "EMAIL" || emails == 3)
      continue;
    std::u16string address = text(l.value);
    // Blanks around an address are not part of it; a blank EMAIL holds none.
    std::size_t first = address.find_first_not_of(u" \t");
    if (first == std::u16string::npos)
      continue;
    std::size_t last = address.find_last_not_of(u" \t");
    r.email[emails++] = address.substr(first, last - first + 1);
  }
  r.birthday = dateOf(findLine(card, "BDAY"));
  const ContentLine *anniversary = findLine(card, "ANNIVERSARY");
  r.anniversary = dateOf(anniversary ? anniversary : findLine(card, "X-ANNIVERSARY"));
  if (const ContentLine *org = findLine(card, "ORG")) {
    std::vector<std::string> parts = splitValue(org->value, ';');
    r.companyName = text(parts[0]);
    if (parts.size() > 1)
      r.department = text(parts[1]);
  }
  if (const ContentLine *title = findLine(card, "TITLE"))
    r.jobTitle = text(title->value);
  for (const ContentLine &l : card.lines) {
    if (l.name == "RELATED" && hasParamValue(l, "TYPE", "spouse")) {
      r.spouse = text(l.value);
      break;
    }
  }
  firstPhone(card, &r.businessFax, [](const ContentLine &l) {
    return hasParamValue(l, "TYPE", "fax") && hasParamValue(l, "TYPE", "work");
  });
  firstPhone(card, &r.mobile, [](const ContentLine &l) { return hasParamValue(l, "TYPE", "cell"); });
  firstPhone(card, &r.pager, [](const ContentLine &l) { return hasParamValue(l, "TYPE", "pager"); });
  firstPhone(card, &r.businessPhone, [](const ContentLine &l) {
    return hasParamValue(l, "TYPE", "work") && !isSpecialPhone(l);
  });
  firstPhone(card, &r.homePhone, [](const ContentLine &l) {
    return hasParamValue(l, "TYPE", "home") && !isSpecialPhone(l);
  });
  return r;
}
