// The text format that vCard (RFC 6350, RFC 2426, vCard 2.1) and iCalendar
// (RFC 5545) share: content lines "group.NAME;PARAM=value:value", folded
// when long, nested in BEGIN:X ... END:X components.
//
// The reader is lenient, because contact and calendar files come from many
// programs: CRLF, LF or CR line ends; folded lines; vCard 2.1's
// quoted-printable values with soft line breaks; parameters without a name
// ("TEL;WORK;FAX"); a missing END (the component ends with the text); lines
// outside any component, lines without a colon and stray END lines are
// skipped. It never fails: the worst input gives no components.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// One parameter of a content line.
struct ContentParam {
  std::string name;  // upper-cased; "TYPE" for a vCard 2.1 parameter without a name
  std::string value; // as written, without surrounding double quotes; may be a comma list
};

// One unfolded content line.
struct ContentLine {
  std::string group;                // "item1" of "item1.EMAIL"; empty when none
  std::string name;                 // upper-cased property name ("EMAIL", "DTSTART")
  std::vector<ContentParam> params; // in the order written
  std::string value;                // the value as written (still escaped); quoted-printable decoded
};

// A BEGIN/END block: a vCard, a calendar, an event, an alarm ...
struct Component {
  std::string name;                // upper-cased ("VCARD", "VCALENDAR", "VEVENT")
  std::vector<ContentLine> lines;  // its own properties, in file order
  std::vector<Component> children; // nested components, in file order
};

// Components nested deeper than this are skipped with everything inside.
constexpr int MAX_COMPONENT_DEPTH = 16;

// The top-level components of a text, in order.
std::vector<Component> parseComponents(std::string_view text);

// The first line of that name (upper case), or null.
const ContentLine *findLine(const Component &c, std::string_view name);
ContentLine *findLine(Component &c, std::string_view name);

// The first child component of that name (upper case), or null.
const Component *findChild(const Component &c, std::string_view name);
Component *findChild(Component &c, std::string_view name);

// The value of the first parameter of that name (upper case), or null.
const std::string *findParam(const ContentLine &line, std::string_view name);

// True when some parameter of that name lists the value (comma lists are
// split, case is ignored): hasParamValue(tel, "TYPE", "cell").
bool hasParamValue(const ContentLine &line, std::string_view name, std::string_view value);

// Text values: backslash escapes undone ("\n" and "\N" become a line feed;
// "\\", "\;", "\,", "\:" their character; any other backslash stays).
std::string unescapeText(std::string_view value);

// Splits a value at unescaped separators (';' for structured values such as
// ORG, ',' for lists such as CATEGORIES); parts stay escaped.
std::vector<std::string> splitValue(std::string_view value, char separator);

// Escapes text for a value: backslash, semicolon, comma, and line ends
// (CRLF, LF or CR) as "\n".
std::string escapeText(std::string_view text);

// Appends one content line to out, folded so that no line exceeds 75 octets
// (a UTF-8 sequence is never split), each line ended by CRLF. Parameter
// values holding ':', ';' or ',' are quoted; line ends and other control
// characters that a value must not hold become blanks; a name character
// other than a letter, digit or dash becomes a dash.
void appendContentLine(std::string &out, const ContentLine &line);

// A whole component with its children: BEGIN, lines, children, END.
void appendComponent(std::string &out, const Component &c);

// Lower case of an ASCII letter, for names compared without regard to case.
bool equalsIgnoreCase(std::string_view a, std::string_view b);
