#include "platform/maildir/imap_utf7.h"

#include "platform/maildir/base64_digit.h"

namespace {

constexpr char ALPHABET[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+,";

bool isPrintable(char16_t c) { return c >= 0x20 && c <= 0x7e; }

// Appends the UTF-16 units of a shift in modified base64.
void appendShift(std::string &out, std::u16string_view units)
{
  out += '&';
  unsigned bits = 0;
  int count = 0;
  for (char16_t u : units) {
    bits = (bits << 16) | u;
    count += 16;
    while (count >= 6) {
      count -= 6;
      out += ALPHABET[(bits >> count) & 63];
    }
    bits &= (1u << count) - 1;
  }
  if (count > 0)
    out += ALPHABET[(bits << (6 - count)) & 63];
  out += '-';
}

// The UTF-16 units of a shift's base64 text; nothing when malformed.
std::optional<std::u16string> decodeShift(std::string_view text)
{
  std::u16string units;
  unsigned bits = 0;
  int count = 0;
  for (char c : text) {
    int v = base64Digit(c, ',');
    if (v < 0)
      return std::nullopt;
    bits = (bits << 6) | static_cast<unsigned>(v);
    count += 6;
    if (count >= 16) {
      count -= 16;
      units += static_cast<char16_t>((bits >> count) & 0xffff);
      bits &= (1u << count) - 1;
    }
  }
  // What is left is padding: fewer than six bits, all zero.
  if (count >= 6 || bits != 0 || units.empty())
    return std::nullopt;
  return units;
}

bool isSoundUtf16(std::u16string_view units)
{
  for (std::size_t i = 0; i < units.size(); ++i) {
    char16_t u = units[i];
    if (u >= 0xd800 && u <= 0xdbff) {
      if (i + 1 == units.size() || units[i + 1] < 0xdc00 || units[i + 1] > 0xdfff)
        return false;
      ++i;
    } else if (u >= 0xdc00 && u <= 0xdfff) {
      return false;
    }
  }
  return true;
}

} // namespace

std::string encodeImapUtf7(std::u16string_view name)
{
  std::string out;
  for (std::size_t i = 0; i < name.size();) {
    char16_t c = name[i];
    if (c == u'&') {
      out += "&-";
      ++i;
    } else if (isPrintable(c)) {
      out += static_cast<char>(c);
      ++i;
    } else {
      std::size_t end = i;
      while (end < name.size() && !isPrintable(name[end]))
        ++end;
      appendShift(out, name.substr(i, end - i));
      i = end;
    }
  }
  return out;
}

std::optional<std::u16string> decodeImapUtf7(std::string_view text)
{
  std::u16string out;
  bool afterShift = false; // the last thing read was a shift of base64
  for (std::size_t i = 0; i < text.size();) {
    char c = text[i];
    if (!isPrintable(static_cast<unsigned char>(c)))
      return std::nullopt;
    if (c != '&') {
      out += static_cast<char16_t>(c);
      afterShift = false;
      ++i;
      continue;
    }
    std::size_t end = text.find('-', i + 1);
    if (end == std::string_view::npos)
      return std::nullopt;
    if (end == i + 1) {
      out += u'&';
      afterShift = false;
    } else {
      if (afterShift)
        return std::nullopt; // two shifts in a row are written as one
      afterShift = true;
      auto units = decodeShift(text.substr(i + 1, end - i - 1));
      if (!units || !isSoundUtf16(*units))
        return std::nullopt;
      for (char16_t u : *units)
        if (isPrintable(u))
          return std::nullopt; // printable ASCII stands for itself
      out += *units;
    }
    i = end + 1;
  }
  return out;
}
