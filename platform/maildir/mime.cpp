#include "platform/maildir/mime.h"

#include "platform/maildir/header_section.h"

#include <cctype>
#include <cstring>

namespace {

constexpr int MAX_DEPTH = 16;

std::string lower(std::string_view s)
{
  std::string out(s);
  for (char &c : out)
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

bool isTokenChar(char c)
{
  unsigned char u = static_cast<unsigned char>(c);
  return u > 32 && u < 127 && !std::strchr("()<>@,;:\\\"/[]?=", c);
}

// A cursor over a structured header value.
struct Scanner {
  std::string_view s; // the value
  std::size_t i = 0;  // current offset

  bool done() const { return i >= s.size(); }

  // Skips blanks and (nested) comments.
  void skipCfws()
  {
    while (i < s.size()) {
      char c = s[i];
      if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
        ++i;
      } else if (c == '(') {
        int depth = 0;
        while (i < s.size()) {
          if (s[i] == '\\' && i + 1 < s.size()) {
            i += 2;
            continue;
          }
          if (s[i] == '(')
            ++depth;
          else if (s[i] == ')' && --depth == 0) {
            ++i;
            break;
          }
          ++i;
        }
      } else {
        break;
      }
    }
  }

  std::string token()
  {
    skipCfws();
    std::size_t b = i;
    while (i < s.size() && isTokenChar(s[i]))
      ++i;
    return std::string(s.substr(b, i - b));
  }

  // A token or a quoted string, unquoted; a value that is neither (broken
  // mail writes "name=a b.pdf") runs to the next ";".
  std::string value()
  {
    skipCfws();
    if (i < s.size() && s[i] == '"') {
      std::string out;
      ++i;
      while (i < s.size() && s[i] != '"') {
        if (s[i] == '\\' && i + 1 < s.size())
          ++i;
        out.push_back(s[i++]);
      }
      if (i < s.size())
        ++i;
      return out;
    }
    std::size_t b = i;
    while (i < s.size() && s[i] != ';')
      ++i;
    std::string_view v = s.substr(b, i - b);
    while (!v.empty() && (v.back() == ' ' || v.back() == '\t'))
      v.remove_suffix(1);
    return std::string(v);
  }

  bool take(char c)
  {
    skipCfws();
    if (i < s.size() && s[i] == c) {
      ++i;
      return true;
    }
    return false;
  }
};

int hexDigit(char c)
{
  if (c >= '0' && c <= '9')
    return c - '0';
  c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (c >= 'a' && c <= 'f')
    return c - 'a' + 10;
  return -1;
}

std::string percentDecode(std::string_view v)
{
  std::string out;
  for (std::size_t i = 0; i < v.size(); ++i) {
    if (v[i] == '%' && i + 2 < v.size() && hexDigit(v[i + 1]) >= 0 && hexDigit(v[i + 2]) >= 0) {
      out.push_back(static_cast<char>(hexDigit(v[i + 1]) * 16 + hexDigit(v[i + 2])));
      i += 2;
    } else {
      out.push_back(v[i]);
    }
  }
  return out;
}

// A raw parameter before RFC 2231 sections are joined.
struct RawParam {
  std::string name;  // base name, lower case
  int section = -1;  // section number, -1 when none
  bool extended = false; // "*" form: charset'lang' prefix and %XX
  std::string value; // as written, unquoted
};

} // namespace

MimeHeader parseMimeHeader(std::string_view value)
{
  MimeHeader h;
  Scanner sc{value};
  h.type = lower(sc.token());
  if (sc.take('/'))
    h.subtype = lower(sc.token());
  std::vector<RawParam> raw;
  while (!sc.done()) {
    if (!sc.take(';')) {
      // Junk between parameters: skip to the next ";".
      while (!sc.done() && value[sc.i] != ';')
        ++sc.i;
      continue;
    }
    std::string name = lower(sc.token());
    if (name.empty() || !sc.take('='))
      continue;
    RawParam p;
    p.value = sc.value();
    if (!name.empty() && name.back() == '*') {
      p.extended = true;
      name.pop_back();
    }
    std::size_t star = name.find('*');
    if (star != std::string::npos) {
      std::string num = name.substr(star + 1);
      name.resize(star);
      if (num.empty() || num.size() > 4 ||
          num.find_first_not_of("0123456789") != std::string::npos)
        continue;
      p.section = std::stoi(num);
    }
    p.name = name;
    raw.push_back(std::move(p));
  }
  // Join sections in number order; a plain parameter stands alone. The
  // first of several same-named plain parameters wins.
  for (const RawParam &p : raw) {
    if (findParam(h, p.name))
      continue;
    MimeParam out;
    out.name = p.name;
    if (p.section < 0) {
      out.value = p.extended ? percentDecode(p.value.substr(p.value.rfind('\'') == std::string::npos
                                                                 ? 0
                                                                 : p.value.rfind('\'') + 1))
                             : p.value;
    } else {
      for (int n = 0;; ++n) {
        const RawParam *sec = nullptr;
        for (const RawParam &q : raw)
          if (q.name == p.name && q.section == n)
            sec = &q;
        if (!sec)
          break;
        std::string_view v = sec->value;
        if (sec->extended && n == 0) {
          std::size_t tick = v.rfind('\'');
          if (tick != std::string_view::npos)
            v.remove_prefix(tick + 1);
        }
        out.value += sec->extended ? percentDecode(v) : std::string(v);
      }
    }
    h.params.push_back(std::move(out));
  }
  return h;
}

const std::string *findParam(const MimeHeader &h, std::string_view name)
{
  for (const MimeParam &p : h.params)
    if (p.name == name)
      return &p.value;
  return nullptr;
}

namespace {

bool isSignature(const MimeHeader &ct)
{
  return ct.type == "application" &&
         (ct.subtype == "pgp-signature" || ct.subtype == "pkcs7-signature" ||
          ct.subtype == "x-pkcs7-signature");
}

// The parts of a multipart body: the text between delimiter lines
// ("--boundary" at the start of a line, then blanks or "--"), up to the
// closing delimiter or the end. A line break before a delimiter belongs to it.
// With more (the body's first bytes, the rest unread) the list ends where
// the bytes stop telling: *final says whether more bytes could add a part,
// *lastOpen whether the last part may go on beyond them.
std::vector<std::string_view> splitParts(std::string_view body, std::string_view boundary, bool more,
                                         bool *final, bool *lastOpen)
{
  std::vector<std::string_view> parts;
  *final = true;
  *lastOpen = false;
  std::string needle = "\n--" + std::string(boundary);
  std::string_view dashes = std::string_view(needle).substr(1);
  std::size_t partStart = std::string_view::npos; // start of the open part
  std::size_t pos = 0;                            // where the search goes on
  bool first = true;
  auto stopUnread = [&](std::size_t openEnd) {
    // What follows is not read yet: the open part runs up to openEnd at least.
    *final = false;
    if (partStart != std::string_view::npos && openEnd > partStart) {
      parts.push_back(body.substr(partStart, openEnd - partStart));
      *lastOpen = true;
    }
    return parts;
  };
  if (more && body.size() < dashes.size())
    return stopUnread(body.size());
  for (;;) {
    std::size_t found; // offset of the delimiter's "--"
    if (first && body.substr(0, dashes.size()) == dashes) {
      found = 0;
    } else {
      if (pos >= body.size())
        break;
      const void *hit = memmem(body.data() + pos, body.size() - pos, needle.data(), needle.size());
      if (!hit)
        break;
      found = static_cast<std::size_t>(static_cast<const char *>(hit) - body.data()) + 1;
    }
    first = false;
    std::size_t after = found + dashes.size();
    if (more && after + 2 > body.size())
      return stopUnread(body.size()); // a delimiter, a closing one, or a longer boundary
    bool closing = body.substr(after, 2) == "--";
    char next = after < body.size() ? body[after] : '\n';
    if (!closing && next != '\r' && next != '\n' && next != ' ' && next != '\t') {
      pos = found; // a longer boundary that begins like this one
      continue;
    }
    if (partStart != std::string_view::npos) {
      std::size_t end = found > 0 ? found - 1 : 0;
      if (end > partStart && body[end - 1] == '\r')
        --end;
      parts.push_back(body.substr(partStart, end > partStart ? end - partStart : 0));
      partStart = std::string_view::npos;
    }
    if (closing)
      return parts;
    const void *lf = std::memchr(body.data() + after, '\n', body.size() - after);
    if (!lf) {
      if (more)
        *final = false; // the delimiter line goes on beyond the bytes read
      return parts;
    }
    partStart = static_cast<std::size_t>(static_cast<const char *>(lf) - body.data()) + 1;
    pos = partStart - 1;
  }
  if (more)
    return stopUnread(body.size());
  if (partStart != std::string_view::npos)
    parts.push_back(body.substr(partStart));
  return parts;
}

Attachments partVerdict(std::string_view text, bool more, std::string_view container, bool defaultRfc822,
                        bool isSecondOfSigned, int depth);

// container: the multipart subtype of the enclosing part ("" at the top).
// more: text is the part's first bytes only, the rest unread.
Attachments partVerdict(std::string_view text, bool more, const HeaderSection &hs, std::string_view container,
                        bool defaultRfc822, bool isSecondOfSigned, int depth)
{
  if (more && !hs.ended)
    return Attachments::Unknown; // its headers go on beyond the bytes read
  MimeHeader ct;
  if (const std::string *v = findHeader(hs, "Content-Type"))
    ct = parseMimeHeader(*v);
  if (ct.type.empty() || ct.subtype.empty()) {
    ct.type = defaultRfc822 ? "message" : "text";
    ct.subtype = defaultRfc822 ? "rfc822" : "plain";
  }
  MimeHeader disp;
  if (const std::string *v = findHeader(hs, "Content-Disposition"))
    disp = parseMimeHeader(*v);

  if (ct.type == "multipart") {
    const std::string *boundary = findParam(ct, "boundary");
    if (!boundary || boundary->empty() || boundary->size() > 200)
      return Attachments::None;
    bool final = true;
    bool lastOpen = false;
    std::vector<std::string_view> parts = splitParts(text.substr(hs.bodyOffset), *boundary, more, &final, &lastOpen);
    Attachments verdict = final ? Attachments::None : Attachments::Unknown;
    for (std::size_t i = 0; i < parts.size(); ++i) {
      Attachments v = partVerdict(parts[i], lastOpen && i + 1 == parts.size(), ct.subtype, ct.subtype == "digest",
                                  ct.subtype == "signed" && i == 1, depth + 1);
      if (v == Attachments::Found)
        return v;
      if (v == Attachments::Unknown)
        verdict = v;
    }
    return verdict;
  }
  bool top = container.empty();
  auto found = [](bool yes) { return yes ? Attachments::Found : Attachments::None; };
  if (disp.type == "attachment")
    return Attachments::Found;
  if (isSignature(ct) && (isSecondOfSigned || !top))
    return Attachments::None;
  bool named = findParam(disp, "filename") || findParam(ct, "name");
  if (named && container != "related")
    return Attachments::Found;
  if (ct.type == "message" && ct.subtype == "rfc822")
    return found(!top);
  if (ct.type == "text")
    return Attachments::None;
  if (container == "related" || container == "alternative")
    return Attachments::None;
  // A header-only text is no attachment, whatever it declares; unread bytes
  // after the headers are a body.
  return found(more || hs.bodyOffset < text.size() || !top);
}

Attachments partVerdict(std::string_view text, bool more, std::string_view container, bool defaultRfc822,
                        bool isSecondOfSigned, int depth)
{
  if (depth > MAX_DEPTH)
    return Attachments::None;
  return partVerdict(text, more, parseHeaderSection(text, 64 * 1024), container, defaultRfc822, isSecondOfSigned,
                     depth);
}

} // namespace

bool messageHasAttachments(std::string_view text)
{
  return partVerdict(text, false, "", false, false, 0) == Attachments::Found;
}

bool messageHasAttachments(std::string_view text, const HeaderSection &headers)
{
  return partVerdict(text, false, headers, "", false, false, 0) == Attachments::Found;
}

Attachments attachmentsInFirstBytes(std::string_view text, const HeaderSection &headers, bool more)
{
  return partVerdict(text, more, headers, "", false, false, 0);
}
