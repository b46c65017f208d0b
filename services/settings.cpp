#include "services/settings.h"

#include "platform/registry/registry.h"
#include "platform/text/wstr.h"

#include <cstring>
#include <limits>

std::atomic<std::int32_t> maxDownloadKB{0};

namespace {

constexpr DWORD TEXT_SETTING_BYTES = 2048; // the buffer start-up reads settings with

bool isCBlank(WCHAR c) { return c == u' ' || (c >= u'\t' && c <= u'\r'); }

// Makes the bytes read into buffer a terminated text: already so, or a
// terminator fits after them. False when it does not.
bool terminate(BYTE *buffer, DWORD size, DWORD bufferBytes)
{
  if (size >= 2 && size % 2 == 0 && buffer[size - 1] == 0 && buffer[size - 2] == 0)
    return true;
  DWORD end = size + size % 2; // an odd byte count ends in half a unit: complete it
  if (end + 2 > bufferBytes)
    return false;
  std::memset(buffer + size, 0, end + 2 - size);
  return true;
}

} // namespace

bool readSetting(const WCHAR *subkey, const WCHAR *valueName, void *buffer, DWORD bufferBytes)
{
  HKEY key;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, subkey, 0, KEY_READ, &key) != ERROR_SUCCESS)
    return false;
  DWORD type = REG_NONE;
  DWORD size = bufferBytes;
  LONG rc = RegQueryValueExW(key, valueName, nullptr, &type, static_cast<BYTE *>(buffer), &size);
  (void)RegCloseKey(key); // nothing to do about a failed close of a read-only key
  if (rc != ERROR_SUCCESS)
    return false;
  // Only a text needs its terminator; a number or bytes fill what they fill.
  bool text = type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ;
  return !text || terminate(static_cast<BYTE *>(buffer), size, bufferBytes);
}

void writeSetting(const WCHAR *subkey, const WCHAR *valueName, const WCHAR *text)
{
  HKEY key;
  DWORD disposition;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, subkey, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr,
                      &key, &disposition) != ERROR_SUCCESS)
    return;
  auto bytes = static_cast<DWORD>((wstrLen(text) + 1) * sizeof(WCHAR));
  (void)RegSetValueExW(key, valueName, 0, REG_SZ, reinterpret_cast<const BYTE *>(text), bytes); // not reported
  (void)RegCloseKey(key);
}

std::int32_t parseSettingNumber(const WCHAR *text)
{
  while (isCBlank(*text))
    ++text;
  bool negative = *text == u'-';
  if (*text == u'-' || *text == u'+')
    ++text;
  constexpr std::int64_t limit = std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1;
  std::int64_t value = 0;
  for (; *text >= u'0' && *text <= u'9'; ++text)
    if (value < limit)
      value = value * 10 + (*text - u'0');
  if (negative)
    value = -value;
  if (value > std::numeric_limits<std::int32_t>::max())
    return std::numeric_limits<std::int32_t>::max();
  if (value < std::numeric_limits<std::int32_t>::min())
    return std::numeric_limits<std::int32_t>::min();
  return static_cast<std::int32_t>(value);
}

bool trayIconWanted()
{
  WCHAR text[TEXT_SETTING_BYTES / sizeof(WCHAR)];
  if (!readSetting(SETTINGS_KEY, SETTING_SHOW_TRAY_ICON, text, sizeof text))
    return true;
  return wstrICmp(text, u"TRUE") == 0;
}
