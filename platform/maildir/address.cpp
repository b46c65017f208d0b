#include "platform/maildir/address.h"

namespace {

void trimInPlace(std::string &s)
{
  std::size_t b = s.find_first_not_of(" \t");
  if (b == std::string::npos) {
    s.clear();
    return;
  }
  std::size_t e = s.find_last_not_of(" \t");
  s = s.substr(b, e - b + 1);
}

// Collapses runs of blanks to one, so that "John   Smith" reads as written.
void collapseBlanks(std::string &s)
{
  std::string out;
  bool blank = false;
  for (char c : s) {
    if (c == ' ' || c == '\t') {
      blank = true;
      continue;
    }
    if (blank && !out.empty())
      out.push_back(' ');
    blank = false;
    out.push_back(c);
  }
  s = std::move(out);
}

} // namespace

Mailbox parseFirstMailbox(std::string_view v)
{
  Mailbox m;
  std::string phrase;  // words seen so far, quotes removed
  std::string comment; // text of the first comment
  std::string bare;    // the same words without comments, as an addr-spec
  std::size_t i = 0;
  while (i < v.size()) {
    char c = v[i];
    if (c == '"') {
      ++i;
      while (i < v.size() && v[i] != '"') {
        if (v[i] == '\\' && i + 1 < v.size())
          ++i;
        phrase.push_back(v[i]);
        bare.push_back(v[i]);
        ++i;
      }
      ++i;
    } else if (c == '(') {
      int depth = 0;
      std::string text;
      while (i < v.size()) {
        if (v[i] == '\\' && i + 1 < v.size()) {
          text.push_back(v[i + 1]);
          i += 2;
          continue;
        }
        if (v[i] == '(') {
          if (depth++ > 0)
            text.push_back('(');
        } else if (v[i] == ')') {
          if (--depth == 0) {
            ++i;
            break;
          }
          text.push_back(')');
        } else {
          text.push_back(v[i]);
        }
        ++i;
      }
      if (comment.empty())
        comment = text;
      phrase.push_back(' ');
    } else if (c == '<') {
      std::size_t close = v.find('>', i + 1);
      std::string_view inner = v.substr(i + 1, close == std::string_view::npos ? std::string_view::npos
                                                                             : close - i - 1);
      // An obsolete route ("@a,@b:user@c") precedes the address.
      std::size_t colon = inner.rfind(':');
      if (!inner.empty() && inner.front() == '@' && colon != std::string_view::npos)
        inner.remove_prefix(colon + 1);
      for (char a : inner)
        if (a != ' ' && a != '\t')
          m.address.push_back(a);
      m.displayName = phrase;
      trimInPlace(m.displayName);
      collapseBlanks(m.displayName);
      return m;
    } else if (c == ':') {
      // A group's name; its first member follows.
      phrase.clear();
      comment.clear();
      bare.clear();
      ++i;
    } else if (c == ',' || c == ';') {
      if (!bare.empty())
        break;
      phrase.clear();
      comment.clear();
      ++i;
    } else {
      phrase.push_back(c);
      if (c != ' ' && c != '\t')
        bare.push_back(c);
      ++i;
    }
  }
  m.address = bare;
  m.displayName = comment;
  trimInPlace(m.displayName);
  collapseBlanks(m.displayName);
  return m;
}
