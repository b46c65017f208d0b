// Failure-tolerant reads of one property of a message (or of any property
// object): a number, a flag, an age in minutes, a bounded text, the To and CC
// lines. Every kind of failure (the call fails, the property is missing or of
// another type, the store raises an exception) gives "no value": 0, false or
// null. Nothing is reported. Each accessor makes one GetProps call for one tag
// (flags MAPI_UNICODE) and frees what it returns.
//
// Callers that read again what could not be read (the processing pass) pass
// `failed`: it is set to true when the store call failed or raised, and left
// alone when the value was read or the property is simply absent.
#pragma once

#include "platform/mapi/mapidefs.h"

#include <cstddef>

// The message size as the handheld's stores keep it (property 0x81110003).
inline constexpr ULONG PR_MESSAGE_SIZE_CE = 0x81110003;

// The 32-bit integer value of tag, or 0.
LONG getLong(IMAPIProp *object, ULONG tag, bool *failed = nullptr);

// True only when the 16-bit boolean value of tag is exactly 1.
bool getBool(IMAPIProp *object, ULONG tag, bool *failed = nullptr);

// Whole minutes from the time property tag to now (UTC), truncated toward
// zero; 2147483647 at most, negative for a time in the future (at least
// -2147483648). 0 without a value.
LONG getMinutesSince(IMAPIProp *object, ULONG tag);

// The value of the time property tag as a file-time count into *fileTime;
// false without a value (*fileTime untouched).
bool getTime(IMAPIProp *object, ULONG tag, ULONGLONG *fileTime, bool *failed = nullptr);

// Whole minutes from fileTime to now (UTC), as getMinutesSince counts them.
LONG minutesSince(ULONGLONG fileTime);

// Copies the text value of tag into buffer (capacity units): at most
// capacity - 1 units, NUL-filled up to and including position capacity - 1; a
// surrogate pair that the cut would split is left out whole. Returns buffer,
// or null without a value (buffer then untouched) or when capacity is 0.
WCHAR *getString(IMAPIProp *object, ULONG tag, WCHAR *buffer, std::size_t capacity, bool *failed = nullptr);

// The message's To line into to, else its CC line into cc (either buffer may
// be null: that line is not asked for), each of capacity units. The store's
// PR_DISPLAY_TO is tried first and, only when it has no value, PR_DISPLAY_CC.
// When neither has a value, the transport headers (PR_CE_MIME_TEXT as a
// stream) are read up to their first empty line: the first "To: " line (when
// to is given) or "CC: " line (when cc is given), names compared without
// regard to case, is decoded into its buffer and written back to the message
// as PR_DISPLAY_TO or PR_DISPLAY_CC (a failed write is ignored), and the
// reading stops. True when a To or CC value was obtained. The values are not
// reduced to bare addresses.
bool getRecipients(IMAPIProp *message, WCHAR *to, WCHAR *cc, std::size_t capacity);
