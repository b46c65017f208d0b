// The program's settings: string values under the settings key of
// HKEY_CURRENT_USER, and the download size limit held in memory.
#pragma once

#include "platform/base/types.h"

#include <atomic>
#include <cstdint>

// The settings key, below HKEY_CURRENT_USER.
inline constexpr const WCHAR *SETTINGS_KEY = u"\\Software\\Tarnwell\\Brindlewick";

// Value names under SETTINGS_KEY.
inline constexpr const WCHAR *SETTING_SHOW_TRAY_ICON = u"ShowTrayIcon";     // "TRUE" shows the icon
inline constexpr const WCHAR *SETTING_MAX_DOWNLOAD_SIZE = u"MaxDownloadSize"; // kilobytes, decimal text
inline constexpr const WCHAR *SETTING_CHECKPOINT = u"CP";                   // 32-bit number

// Download size limit in kilobytes; 0 or less means no limit. Written on the
// main thread (start-up, settings dialog), read by processing passes on
// notification threads, hence atomic.
extern std::atomic<std::int32_t> maxDownloadKB;

// Opens `subkey` under HKEY_CURRENT_USER for reading and reads `valueName`
// into buffer (bufferBytes bytes) whatever its type. True only when the value
// could be read whole. A string value read into the buffer is always
// terminated: one stored without its terminator gets one when there is room,
// and counts as unreadable when there is none. Values of other types are
// read as they are (a REG_DWORD fills four bytes).
bool readSetting(const WCHAR *subkey, const WCHAR *valueName, void *buffer, DWORD bufferBytes);

// Creates or opens `subkey` under HKEY_CURRENT_USER and stores `text` as a
// string value of (length + 1) * 2 bytes. Failures are not reported.
void writeSetting(const WCHAR *subkey, const WCHAR *valueName, const WCHAR *text);

// The signed decimal number at the start of text, as the C library's atoi
// reads it: leading blanks and one sign are accepted, reading stops at the
// first non-digit, text without leading digits gives 0 ("500" -> 500,
// "" -> 0, " -12x" -> -12). Values beyond the int32 range are clamped to it.
std::int32_t parseSettingNumber(const WCHAR *text);

// Whether the tray icon should be shown: true when "ShowTrayIcon" is missing
// or equals "TRUE" without regard to case.
bool trayIconWanted();
