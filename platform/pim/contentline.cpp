#include "platform/pim/contentline.h"

#include <algorithm>

namespace {

char upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; }

std::string upperCased(std::string_view s)
{
  std::string r(s);
  for (char &c : r)
    c = upper(c);
  return r;
}

// Blanks and control characters around names and parameter values are no
// part of them. (The writer turns control characters into blanks, so a value
// must not read differently once they are.)
bool blank(char c) { return static_cast<unsigned char>(c) <= 0x20 || c == 0x7F; }

std::string_view trimmed(std::string_view s)
{
  while (!s.empty() && blank(s.front()))
    s.remove_prefix(1);
  while (!s.empty() && blank(s.back()))
    s.remove_suffix(1);
  return s;
}

// The physical lines of a text, without their line ends.
std::vector<std::string_view> physicalLines(std::string_view text)
{
  std::vector<std::string_view> lines;
  std::size_t start = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\r' && text[i] != '\n')
      continue;
    lines.push_back(text.substr(start, i - start));
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
      ++i;
    start = i + 1;
  }
  if (start < text.size())
    lines.push_back(text.substr(start));
  return lines;
}

// The part of a logical line before its value: the name and parameters, up
// to the first colon outside double quotes (all of it when there is none).
std::string_view headOf(std::string_view line)
{
  bool quoted = false;
  for (std::size_t i = 0; i < line.size(); ++i) {
    if (line[i] == '"')
      quoted = !quoted;
    else if (line[i] == ':' && !quoted)
      return line.substr(0, i);
  }
  return line;
}

// True when the parameters in a line's head declare a quoted-printable
// value: ENCODING=QUOTED-PRINTABLE, or vCard 2.1's bare QUOTED-PRINTABLE.
bool declaresQuotedPrintable(std::string_view head)
{
  bool quoted = false;
  std::size_t start = 0;
  bool first = true;
  for (std::size_t i = 0; i <= head.size(); ++i) {
    if (i < head.size() && head[i] == '"')
      quoted = !quoted;
    if (i < head.size() && (head[i] != ';' || quoted))
      continue;
    std::string_view seg = trimmed(head.substr(start, i - start));
    start = i + 1;
    if (first) {
      first = false; // the name
      continue;
    }
    std::size_t eq = seg.find('=');
    std::string_view name = eq == std::string_view::npos ? std::string_view("TYPE") : trimmed(seg.substr(0, eq));
    std::string_view value = eq == std::string_view::npos ? seg : trimmed(seg.substr(eq + 1));
    if ((equalsIgnoreCase(name, "ENCODING") || equalsIgnoreCase(name, "TYPE")) &&
        equalsIgnoreCase(value, "QUOTED-PRINTABLE"))
      return true;
  }
  return false;
}

// A quoted-printable value whose physical line ends in '=' goes on in the
// next physical line (vCard 2.1's soft line break).
bool softBreakPending(std::string_view logical)
{
  return !logical.empty() && logical.back() == '=' && declaresQuotedPrintable(headOf(logical));
}

int hexDigit(char c)
{
  if (c >= '0' && c <= '9')
    return c - '0';
  c = upper(c);
  if (c >= 'A' && c <= 'F')
    return c - 'A' + 10;
  return -1;
}

// "=XX" becomes the byte XX; an '=' not followed by two hex digits stays.
std::string decodeQuotedPrintable(std::string_view v)
{
  std::string out;
  out.reserve(v.size());
  for (std::size_t i = 0; i < v.size(); ++i) {
    if (v[i] == '=' && i + 2 < v.size()) {
      int hi = hexDigit(v[i + 1]);
      int lo = hexDigit(v[i + 2]);
      if (hi >= 0 && lo >= 0) {
        out += static_cast<char>(hi * 16 + lo);
        i += 2;
        continue;
      }
    }
    out += v[i];
  }
  return out;
}

// Parses "group.NAME;P=v;Q:value". False for a line without a colon or a name.
bool parseLine(std::string_view text, ContentLine *line)
{
  std::string_view head = headOf(text);
  if (head.size() == text.size())
    return false;
  line->value.assign(text.substr(head.size() + 1));

  // Parameters: segments after the name, split at semicolons outside quotes.
  std::vector<std::string_view> segments;
  bool quoted = false;
  std::size_t start = 0;
  for (std::size_t i = 0; i <= head.size(); ++i) {
    if (i < head.size() && head[i] == '"')
      quoted = !quoted;
    if (i == head.size() || (head[i] == ';' && !quoted)) {
      segments.push_back(head.substr(start, i - start));
      start = i + 1;
    }
  }
  std::string_view fullName = trimmed(segments.front());
  std::size_t dot = fullName.rfind('.');
  if (dot != std::string_view::npos) {
    line->group.assign(fullName.substr(0, dot));
    fullName.remove_prefix(dot + 1);
  }
  if (fullName.empty())
    return false;
  line->name = upperCased(fullName);

  bool quotedPrintable = false;
  for (std::size_t s = 1; s < segments.size(); ++s) {
    std::string_view seg = trimmed(segments[s]);
    if (seg.empty())
      continue;
    ContentParam p;
    std::size_t eq = seg.find('=');
    std::string_view value;
    if (eq == std::string_view::npos) {
      p.name = "TYPE";
      value = seg;
    } else {
      p.name = upperCased(trimmed(seg.substr(0, eq)));
      value = trimmed(seg.substr(eq + 1));
    }
    for (char c : value)
      if (c != '"')
        p.value += c;
    if ((p.name == "ENCODING" || p.name == "TYPE") && equalsIgnoreCase(p.value, "QUOTED-PRINTABLE")) {
      quotedPrintable = true;
      continue; // the value is stored decoded
    }
    line->params.push_back(std::move(p));
  }
  if (quotedPrintable)
    line->value = decodeQuotedPrintable(line->value);
  return true;
}

// The components being read, innermost last.
struct Reader {
  std::vector<Component> result; // closed top-level components
  std::vector<Component> open;   // open components, outermost first
  int skipped = 0;               // open components beyond MAX_COMPONENT_DEPTH

  void close()
  {
    Component done = std::move(open.back());
    open.pop_back();
    if (open.empty())
      result.push_back(std::move(done));
    else
      open.back().children.push_back(std::move(done));
  }

  void take(std::string_view logical)
  {
    ContentLine line;
    if (!parseLine(logical, &line))
      return;
    if (line.name == "BEGIN") {
      if (skipped > 0 || open.size() >= static_cast<std::size_t>(MAX_COMPONENT_DEPTH)) {
        ++skipped;
        return;
      }
      Component c;
      c.name = upperCased(trimmed(line.value));
      open.push_back(std::move(c));
      return;
    }
    if (line.name == "END") {
      if (skipped > 0) {
        --skipped;
        return;
      }
      std::string name = upperCased(trimmed(line.value));
      auto match = std::find_if(open.rbegin(), open.rend(),
                                [&](const Component &c) { return c.name == name; });
      if (match == open.rend())
        return; // an END without its BEGIN
      std::size_t keep = static_cast<std::size_t>(open.rend() - match) - 1;
      while (open.size() > keep)
        close();
      return;
    }
    if (skipped == 0 && !open.empty())
      open.back().lines.push_back(std::move(line));
  }
};

} // namespace

bool equalsIgnoreCase(std::string_view a, std::string_view b)
{
  if (a.size() != b.size())
    return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (upper(a[i]) != upper(b[i]))
      return false;
  return true;
}

std::vector<Component> parseComponents(std::string_view text)
{
  Reader reader;
  std::string logical;
  bool have = false;
  for (std::string_view p : physicalLines(text)) {
    if (have && !p.empty() && (p.front() == ' ' || p.front() == '\t')) {
      logical.append(p.substr(1));
      continue;
    }
    if (have && softBreakPending(logical)) {
      logical.pop_back();
      logical.append(p);
      continue;
    }
    if (have)
      reader.take(logical);
    logical.assign(p);
    have = true;
  }
  if (have)
    reader.take(logical);
  while (!reader.open.empty())
    reader.close(); // a missing END ends the component with the text
  return std::move(reader.result);
}

const ContentLine *findLine(const Component &c, std::string_view name)
{
  for (const ContentLine &l : c.lines)
    if (l.name == name)
      return &l;
  return nullptr;
}

ContentLine *findLine(Component &c, std::string_view name)
{
  return const_cast<ContentLine *>(findLine(static_cast<const Component &>(c), name));
}

const Component *findChild(const Component &c, std::string_view name)
{
  for (const Component &child : c.children)
    if (child.name == name)
      return &child;
  return nullptr;
}

Component *findChild(Component &c, std::string_view name)
{
  return const_cast<Component *>(findChild(static_cast<const Component &>(c), name));
}

const std::string *findParam(const ContentLine &line, std::string_view name)
{
  for (const ContentParam &p : line.params)
    if (p.name == name)
      return &p.value;
  return nullptr;
}

bool hasParamValue(const ContentLine &line, std::string_view name, std::string_view value)
{
  for (const ContentParam &p : line.params) {
    if (p.name != name)
      continue;
    std::string_view rest = p.value;
    while (true) {
      std::size_t comma = rest.find(',');
      if (equalsIgnoreCase(trimmed(rest.substr(0, comma)), value))
        return true;
      if (comma == std::string_view::npos)
        break;
      rest.remove_prefix(comma + 1);
    }
  }
  return false;
}

std::string unescapeText(std::string_view v)
{
  std::string out;
  out.reserve(v.size());
  for (std::size_t i = 0; i < v.size(); ++i) {
    if (v[i] == '\\' && i + 1 < v.size()) {
      char n = v[i + 1];
      if (n == 'n' || n == 'N') {
        out += '\n';
        ++i;
        continue;
      }
      if (n == '\\' || n == ';' || n == ',' || n == ':') {
        out += n;
        ++i;
        continue;
      }
    }
    out += v[i];
  }
  return out;
}

std::vector<std::string> splitValue(std::string_view v, char separator)
{
  std::vector<std::string> parts(1);
  for (std::size_t i = 0; i < v.size(); ++i) {
    if (v[i] == '\\' && i + 1 < v.size()) {
      parts.back() += v[i];
      parts.back() += v[++i];
    } else if (v[i] == separator) {
      parts.emplace_back();
    } else {
      parts.back() += v[i];
    }
  }
  return parts;
}

std::string escapeText(std::string_view text)
{
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    switch (c) {
    case '\\':
      out += "\\\\";
      break;
    case ';':
      out += "\\;";
      break;
    case ',':
      out += "\\,";
      break;
    case '\r':
      if (i + 1 < text.size() && text[i + 1] == '\n')
        ++i;
      out += "\\n";
      break;
    case '\n':
      out += "\\n";
      break;
    default:
      out += c;
    }
  }
  return out;
}

namespace {

// Names (group, property, parameter) hold letters, digits and dashes; any
// other character is written as a dash, so that no name turns into another
// one (a blank would be trimmed away when read again).
void appendName(std::string &out, std::string_view s)
{
  for (char c : s) {
    bool fits = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-';
    out += fits ? c : '-';
  }
}

// Control characters (other than the tab) cannot stand in a content line.
void appendClean(std::string &out, std::string_view s, bool inParam)
{
  for (char c : s) {
    auto u = static_cast<unsigned char>(c);
    if ((u < 0x20 && c != '\t') || u == 0x7F)
      out += ' ';
    else if (inParam && c == '"')
      out += '\'';
    else
      out += c;
  }
}

bool needsQuotes(std::string_view v)
{
  return v.find_first_of(":;,") != std::string_view::npos;
}

} // namespace

void appendContentLine(std::string &out, const ContentLine &line)
{
  std::string s;
  if (!line.group.empty()) {
    appendName(s, line.group);
    s += '.';
  }
  appendName(s, line.name);
  for (const ContentParam &p : line.params) {
    s += ';';
    appendName(s, p.name);
    s += '=';
    bool quote = needsQuotes(p.value);
    if (quote)
      s += '"';
    appendClean(s, p.value, true);
    if (quote)
      s += '"';
  }
  s += ':';
  appendClean(s, line.value, false);

  // Fold: 75 octets in the first line, a blank and 74 in each further one.
  std::size_t pos = 0;
  std::size_t limit = 75;
  while (pos < s.size()) {
    std::size_t n = std::min(limit, s.size() - pos);
    if (pos + n < s.size()) {
      std::size_t cut = n;
      while (cut > 0 && (static_cast<unsigned char>(s[pos + cut]) & 0xC0) == 0x80)
        --cut;
      if (cut > 0)
        n = cut;
    }
    if (pos > 0)
      out += ' ';
    out.append(s, pos, n);
    out += "\r\n";
    pos += n;
    limit = 74;
  }
}

void appendComponent(std::string &out, const Component &c)
{
  appendContentLine(out, ContentLine{{}, "BEGIN", {}, c.name});
  for (const ContentLine &l : c.lines)
    appendContentLine(out, l);
  for (const Component &child : c.children)
    appendComponent(out, child);
  appendContentLine(out, ContentLine{{}, "END", {}, c.name});
}
