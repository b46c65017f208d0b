#include "platform/registry/reg_file.h"

#include "platform/text/wstr.h"

#include <cstdio>

namespace {

constexpr std::string_view HEADER = "Windows Registry Editor Version 5.00";
constexpr std::string_view OLD_HEADER = "REGEDIT4";
constexpr std::size_t WRAP_COLUMN = 76; // hex data wraps like regedit's export

bool isBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view trim(std::string_view s)
{
  while (!s.empty() && (isBlank(s.front()) || s.front() == '\r'))
    s.remove_prefix(1);
  while (!s.empty() && (isBlank(s.back()) || s.back() == '\r'))
    s.remove_suffix(1);
  return s;
}

bool startsWithNoCase(std::string_view s, std::string_view prefix)
{
  if (s.size() < prefix.size())
    return false;
  for (std::size_t i = 0; i < prefix.size(); ++i) {
    char a = s[i], b = prefix[i];
    if (a >= 'A' && a <= 'Z')
      a = static_cast<char>(a + 32);
    if (a != b)
      return false;
  }
  return true;
}

int hexDigit(char c)
{
  if (c >= '0' && c <= '9')
    return c - '0';
  if (c >= 'a' && c <= 'f')
    return c - 'a' + 10;
  if (c >= 'A' && c <= 'F')
    return c - 'A' + 10;
  return -1;
}

// 1 to 8 hex digits, nothing else.
bool parseHex32(std::string_view s, DWORD *out)
{
  if (s.empty() || s.size() > 8)
    return false;
  DWORD v = 0;
  for (char c : s) {
    int d = hexDigit(c);
    if (d < 0)
      return false;
    v = (v << 4) | static_cast<DWORD>(d);
  }
  *out = v;
  return true;
}

// Comma-separated bytes of one or two hex digits; a trailing comma is allowed.
bool parseHexBytes(std::string_view s, std::vector<BYTE> *out)
{
  s = trim(s);
  while (!s.empty()) {
    std::size_t comma = s.find(',');
    std::string_view token = trim(s.substr(0, comma));
    if (token.empty() || token.size() > 2)
      return false;
    DWORD v;
    if (!parseHex32(token, &v))
      return false;
    out->push_back(static_cast<BYTE>(v));
    if (comma == std::string_view::npos)
      break;
    s = trim(s.substr(comma + 1));
  }
  return true;
}

// A quoted text at the start of s (which starts with '"'); s is left after
// the closing quote. Escapes: \\ \" and, for names, \n \r. False when the
// closing quote is missing.
bool parseQuoted(std::string_view *s, std::u16string *out)
{
  std::string bytes;
  std::size_t i = 1;
  for (; i < s->size(); ++i) {
    char c = (*s)[i];
    if (c == '"')
      break;
    if (c == '\\' && i + 1 < s->size()) {
      char e = (*s)[++i];
      if (e == 'n')
        bytes += '\n';
      else if (e == 'r')
        bytes += '\r';
      else if (e == '\\' || e == '"')
        bytes += e;
      else {
        // Not one of ours: keep it as written.
        bytes += '\\';
        bytes += e;
      }
      continue;
    }
    bytes += c;
  }
  if (i >= s->size())
    return false;
  s->remove_prefix(i + 1);
  *out = utf8ToUtf16(bytes);
  return true;
}

std::vector<BYTE> stringBytes(std::u16string_view text)
{
  std::vector<BYTE> data;
  data.reserve((text.size() + 1) * 2);
  for (char16_t c : text) {
    data.push_back(static_cast<BYTE>(c & 0xFF));
    data.push_back(static_cast<BYTE>(c >> 8));
  }
  data.push_back(0);
  data.push_back(0);
  return data;
}

bool hasLoneSurrogate(std::u16string_view s)
{
  for (std::size_t i = 0; i < s.size(); ++i) {
    char16_t c = s[i];
    if (c >= 0xD800 && c <= 0xDBFF) {
      if (i + 1 >= s.size() || s[i + 1] < 0xDC00 || s[i + 1] > 0xDFFF)
        return true;
      ++i;
    } else if (c >= 0xDC00 && c <= 0xDFFF) {
      return true;
    }
  }
  return false;
}

// The file's text as UTF-8, byte-order mark removed.
std::string decodeFile(std::string_view bytes)
{
  if (bytes.size() >= 3 && bytes.substr(0, 3) == "\xEF\xBB\xBF")
    return std::string(bytes.substr(3));
  if (bytes.size() >= 2 && bytes.substr(0, 2) == "\xFF\xFE") {
    std::u16string units;
    for (std::size_t i = 2; i + 1 < bytes.size(); i += 2)
      units.push_back(static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                            (static_cast<unsigned char>(bytes[i + 1]) << 8)));
    return utf16ToUtf8(units);
  }
  return std::string(bytes);
}

class LineReader {
public:
  explicit LineReader(std::string_view text) : text_(text) {}
  bool next(std::string_view *line)
  {
    if (pos_ >= text_.size())
      return false;
    std::size_t end = text_.find('\n', pos_);
    lastCut_ = end == std::string_view::npos;
    if (lastCut_)
      end = text_.size();
    *line = text_.substr(pos_, end - pos_);
    pos_ = end + 1;
    return true;
  }
  // The line last read had no line break: the file may have been cut in it.
  bool lastCut() const { return lastCut_; }

private:
  std::string_view text_;
  std::size_t pos_ = 0;
  bool lastCut_ = false;
};

// The path below the root of a key line's text, or false when the text names
// another root or holds a component that cannot be a key name.
bool keyPathBelowRoot(std::string_view text, std::u16string_view rootName, std::u16string *path)
{
  std::u16string full = utf8ToUtf16(text);
  std::u16string_view rest(full);
  if (rest.size() < rootName.size() || wstrICmp(rest.substr(0, rootName.size()), rootName) != 0)
    return false;
  rest.remove_prefix(rootName.size());
  if (!rest.empty() && rest.front() != u'\\')
    return false;
  path->clear();
  while (!rest.empty()) {
    std::size_t cut = rest.find(u'\\');
    std::u16string_view part = rest.substr(0, cut);
    rest = cut == std::u16string_view::npos ? std::u16string_view() : rest.substr(cut + 1);
    if (part.empty())
      continue;
    if (!validKeyName(part))
      return false;
    if (!path->empty())
      *path += u'\\';
    *path += part;
  }
  return true;
}

// Parses the data part of a value line. *remove is set for "-".
bool parseData(std::string_view data, DWORD *type, std::vector<BYTE> *bytes, bool *remove)
{
  *remove = false;
  if (data == "-") {
    *remove = true;
    return true;
  }
  if (!data.empty() && data.front() == '"') {
    std::u16string text;
    if (!parseQuoted(&data, &text) || !trim(data).empty())
      return false;
    *type = 1; // REG_SZ
    *bytes = stringBytes(text);
    return true;
  }
  if (startsWithNoCase(data, "dword:")) {
    DWORD v;
    if (!parseHex32(trim(data.substr(6)), &v))
      return false;
    *type = 4; // REG_DWORD
    *bytes = {static_cast<BYTE>(v), static_cast<BYTE>(v >> 8), static_cast<BYTE>(v >> 16),
              static_cast<BYTE>(v >> 24)};
    return true;
  }
  if (startsWithNoCase(data, "hex:")) {
    *type = 3; // REG_BINARY
    return parseHexBytes(data.substr(4), bytes);
  }
  if (startsWithNoCase(data, "hex(")) {
    std::size_t close = data.find("):");
    if (close == std::string_view::npos || !parseHex32(data.substr(4, close - 4), type))
      return false;
    return parseHexBytes(data.substr(close + 2), bytes);
  }
  return false;
}

std::string quote(std::u16string_view text)
{
  std::string out = "\"";
  for (char c : utf16ToUtf8(text)) {
    switch (c) {
    case '\\': out += "\\\\"; break;
    case '"': out += "\\\""; break;
    case '\n': out += "\\n"; break;
    case '\r': out += "\\r"; break;
    default: out += c;
    }
  }
  out += '"';
  return out;
}

// The text of a REG_SZ value that the quoted form holds exactly: terminated
// once at its end, no line breaks, valid UTF-16.
bool plainText(const RegValue &v, std::u16string *text)
{
  if (v.type != 1 || v.data.size() < 2 || v.data.size() % 2 != 0)
    return false;
  std::size_t units = v.data.size() / 2 - 1;
  text->clear();
  for (std::size_t i = 0; i <= units; ++i) {
    char16_t c = static_cast<char16_t>(v.data[2 * i] | (v.data[2 * i + 1] << 8));
    if (i == units)
      return c == 0 && !hasLoneSurrogate(*text);
    if (c == 0 || c == u'\n' || c == u'\r')
      return false;
    text->push_back(c);
  }
  return false;
}

void appendValue(std::string *out, const RegValue &v)
{
  std::string line = v.name.empty() ? "@=" : quote(v.name) + "=";
  std::u16string text;
  if (plainText(v, &text)) {
    *out += line + quote(text) + "\n";
    return;
  }
  if (v.type == 4 && v.data.size() == 4) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "dword:%08x",
                  v.data[0] | (v.data[1] << 8) | (v.data[2] << 16) | (static_cast<DWORD>(v.data[3]) << 24));
    *out += line + buf + "\n";
    return;
  }
  char prefix[24];
  if (v.type == 3)
    std::snprintf(prefix, sizeof prefix, "hex:");
  else
    std::snprintf(prefix, sizeof prefix, "hex(%x):", v.type);
  line += prefix;
  for (std::size_t i = 0; i < v.data.size(); ++i) {
    char byte[4];
    std::snprintf(byte, sizeof byte, "%02x", v.data[i]);
    line += byte;
    if (i + 1 < v.data.size()) {
      line += ',';
      if (line.size() >= WRAP_COLUMN) {
        *out += line + "\\\n";
        line = "  ";
      }
    }
  }
  *out += line + "\n";
}

} // namespace

bool validKeyName(std::u16string_view name)
{
  if (name.empty() || name.size() > 255 || hasLoneSurrogate(name))
    return false;
  for (char16_t c : name)
    if (c < 0x20 || c == u'\\')
      return false;
  return true;
}

bool validValueName(std::u16string_view name)
{
  if (name.size() > 16383 || hasLoneSurrogate(name))
    return false;
  for (char16_t c : name)
    if (c == 0)
      return false;
  return true;
}

Hive parseRegFile(std::string_view bytes, std::u16string_view rootName)
{
  Hive hive = emptyHive();
  std::string text = decodeFile(bytes);
  LineReader lines(text);
  std::string_view raw;
  bool first = true;
  RegKey *current = nullptr;
  while (lines.next(&raw)) {
    std::string_view line = trim(raw);
    if (line.empty() || line.front() == ';')
      continue;
    if (first) {
      first = false;
      if (line == HEADER || line == OLD_HEADER)
        continue;
    }
    if (line.front() == '[') {
      current = nullptr;
      bool remove = line.size() > 1 && line[1] == '-';
      std::u16string path;
      if (line.back() != ']' || line.size() < 2u + remove ||
          !keyPathBelowRoot(line.substr(1 + remove, line.size() - 2 - remove), rootName, &path)) {
        hive.damaged = true;
        continue;
      }
      if (remove) {
        deleteKeyTree(hive, path);
        continue;
      }
      bool created;
      current = &ensureKey(hive, path, &created);
      continue;
    }
    // A value line: "name"=data or @=data.
    std::u16string name;
    std::string_view rest = line;
    if (rest.front() == '@') {
      rest.remove_prefix(1);
    } else if (rest.front() != '"' || !parseQuoted(&rest, &name)) {
      hive.damaged = true;
      continue;
    }
    rest = trim(rest);
    if (rest.empty() || rest.front() != '=') {
      hive.damaged = true;
      continue;
    }
    std::string data(trim(rest.substr(1)));
    // Hex data may go on over lines that end with a backslash.
    bool cut = false;
    if (startsWithNoCase(data, "hex")) {
      while (!data.empty() && data.back() == '\\') {
        data.pop_back();
        std::string_view more;
        if (!lines.next(&more)) {
          cut = true;
          break;
        }
        data += trim(more);
      }
    }
    // Every file written ends with a line break. A last line without one may
    // have been cut: only a form that shows its own end (a quoted text) is
    // taken from it, never a number or bytes that may have lost digits.
    if (lines.lastCut() && (data.empty() || data.front() != '"'))
      cut = true;
    DWORD type = 0;
    std::vector<BYTE> value;
    bool remove;
    if (cut || current == nullptr || !validValueName(name) || !parseData(data, &type, &value, &remove)) {
      hive.damaged = true;
      continue;
    }
    if (remove)
      deleteValue(*current, name);
    else
      setValue(*current, name, type, std::move(value));
  }
  return hive;
}

std::string formatRegFile(const Hive &hive, std::u16string_view rootName)
{
  std::string out(HEADER);
  out += "\n";
  std::string root = utf16ToUtf8(rootName);
  for (const auto &[folded, key] : hive.keys) {
    out += "\n[" + root;
    if (!key.path.empty())
      out += "\\" + utf16ToUtf8(key.path);
    out += "]\n";
    for (const auto &v : key.values)
      appendValue(&out, v);
  }
  return out;
}
