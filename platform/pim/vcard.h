// Contacts from vCard files (2.1, 3.0 and 4.0): what the contacts server
// hands out of each card.
#pragma once

#include "platform/com/dispatch.h"
#include "platform/pim/contentline.h"
#include "platform/pim/pimtime.h"

#include <string>
#include <string_view>
#include <vector>

// The fields of one contact that the object model's IContact reads.
struct ContactRecord {
  std::u16string email[3];       // the first three non-empty EMAIL values, in file order
  DATE birthday = POOM_NO_DATE;  // BDAY, local midnight; POOM_NO_DATE when none
  DATE anniversary = POOM_NO_DATE; // ANNIVERSARY (or X-ANNIVERSARY); POOM_NO_DATE when none
  std::u16string companyName;    // ORG, first component
  std::u16string department;     // ORG, second component
  std::u16string jobTitle;       // TITLE
  std::u16string spouse;         // RELATED;TYPE=spouse
  std::u16string businessFax;    // TEL of TYPE fax and work
  std::u16string mobile;         // TEL of TYPE cell
  std::u16string pager;          // TEL of TYPE pager
  std::u16string businessPhone;  // TEL of TYPE work, not fax, cell or pager
  std::u16string homePhone;      // TEL of TYPE home, not fax, cell or pager
};

// Every vCard of a file's text, in order (a card nested in another, as vCard
// 2.1's AGENT holds one, counts as a card of its own).
std::vector<Component> readVCards(std::string_view text);

// The record of one card. Texts are unescaped and turned into UTF-16:
// UTF-8 when the bytes are valid UTF-8, else Windows-1252 (vCard 2.1 files
// in a legacy character set); a "tel:" URI loses its scheme.
ContactRecord contactFromVCard(const Component &card);

// UTF-8, or Windows-1252 when the bytes are not valid UTF-8, to UTF-16.
std::u16string legacyTextToUtf16(std::string_view bytes);
