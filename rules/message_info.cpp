#include "rules/message_info.h"

#include <cstring>
#include <new>

MessageInfo *newMessageInfo(std::uint32_t entryIdSize, const BYTE *entryId)
{
  auto *info = new (std::nothrow) MessageInfo{};
  if (!info)
    return nullptr;
  if (entryIdSize > 0) {
    info->entryId = new (std::nothrow) BYTE[entryIdSize];
    if (!info->entryId) {
      delete info;
      return nullptr;
    }
    std::memcpy(info->entryId, entryId, entryIdSize);
    info->entryIdSize = entryIdSize;
  }
  return info;
}

void freeMessageInfo(MessageInfo *info)
{
  if (!info)
    return;
  delete[] info->entryId;
  delete info;
}

bool hasEntryId(const MessageInfo *info, std::uint32_t entryIdSize, const BYTE *entryId)
{
  return info->entryIdSize == entryIdSize &&
         (entryIdSize == 0 || std::memcmp(info->entryId, entryId, entryIdSize) == 0);
}

void setMessageText(WCHAR (&field)[MESSAGE_TEXT_CHARS], const WCHAR *text)
{
  std::size_t n = 0;
  if (text)
    while (n < MESSAGE_TEXT_CHARS - 1 && text[n])
      ++n;
  // A lead surrogate whose partner was cut off goes too.
  if (n == MESSAGE_TEXT_CHARS - 1 && text[n] && text[n - 1] >= 0xD800 && text[n - 1] <= 0xDBFF)
    --n;
  std::memmove(field, text ? text : u"", n * sizeof(WCHAR));
  field[n] = 0;
}
