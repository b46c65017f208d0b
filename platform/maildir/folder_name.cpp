#include "platform/maildir/folder_name.h"

#include "platform/text/wstr.h"

std::string folderDirName(const std::u16string &displayName)
{
  std::string utf8 = utf16ToUtf8(displayName);
  std::string out;
  for (std::size_t i = 0; i < utf8.size(); ++i) {
    char c = utf8[i];
    if (c == '%')
      out += "%25";
    else if (c == '/')
      out += "%2F";
    else if (c == '.' && i == 0)
      out += "%2E";
    else
      out.push_back(c);
  }
  if (out == "cur" || out == "new" || out == "tmp") {
    static const char *hex = "0123456789ABCDEF";
    unsigned char first = static_cast<unsigned char>(out[0]);
    out = std::string("%") + hex[first >> 4] + hex[first & 15] + out.substr(1);
  }
  return out;
}

std::u16string folderDisplayName(const std::string &dirName)
{
  std::string out;
  for (std::size_t i = 0; i < dirName.size(); ++i) {
    std::string_view rest = std::string_view(dirName).substr(i);
    if (rest.substr(0, 3) == "%25") {
      out += '%';
      i += 2;
    } else if (rest.substr(0, 3) == "%2F") {
      out += '/';
      i += 2;
    } else if (i == 0 && rest.substr(0, 3) == "%2E") {
      out += '.';
      i += 2;
    } else if (i == 0 && (dirName == "%63ur" || dirName == "%6Eew" || dirName == "%74mp")) {
      out += static_cast<char>(dirName[2] == '3' ? 'c' : dirName[2] == 'E' ? 'n' : 't');
      i += 2;
    } else {
      out += dirName[i];
    }
  }
  return utf8ToUtf16(out);
}
