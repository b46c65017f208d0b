#include "engine/props.h"

#include "engine/header_decode.h"
#include "engine/header_field.h"
#include "engine/header_line.h"
#include "engine/mapi_refs.h"
#include "platform/clock/clock.h"
#include "platform/com/stream.h"
#include "platform/mapi/mapitags.h"

#include <climits>
#include <cstdint>

namespace {

// 100-nanosecond units in a minute.
constexpr std::int64_t FILETIME_UNITS_PER_MINUTE = 600000000;

bool isLeadSurrogate(WCHAR c) { return c >= 0xD800 && c <= 0xDBFF; }

// Reads recipient header lines from the open header stream into to or cc.
// True when one was found; the value is then written back to the message.
bool recipientsFromHeaders(IMAPIProp *message, IStream *stream, WCHAR *to, WCHAR *cc,
                           std::size_t capacity)
{
  char window[HEADER_WINDOW_BYTES];
  char line[HEADER_WINDOW_BYTES];
  char *end = window;
  while (readHeaderLine(stream, window, &end, line, sizeof line) && line[0]) {
    WCHAR *target = nullptr;
    ULONG tag = 0;
    if (to && isHeaderLine(line, TO_HEADER)) {
      target = to;
      tag = PR_DISPLAY_TO;
    } else if (cc && isHeaderLine(line, CC_HEADER)) {
      target = cc;
      tag = PR_DISPLAY_CC;
    } else {
      continue;
    }
    decodeHeaderText(headerValue(line), target, capacity);
    SPropValue value{};
    value.ulPropTag = tag;
    value.Value.lpszW = target;
    try {
      (void)message->SetProps(1, &value, nullptr); // the buffer holds the value either way
    } catch (...) {
      // Likewise when the write raises: the value was obtained.
    }
    return true;
  }
  return false;
}

} // namespace

namespace {

// Reads tag into value; true with a value. Notes a failed or raising call.
bool readValue(IMAPIProp *object, ULONG tag, MapiBuffer<SPropValue> *value, bool *failed)
{
  try {
    PropRead result = readProp(object, tag, value);
    if (result == PropRead::Failed && failed)
      *failed = true;
    return result == PropRead::Value;
  } catch (...) {
    if (failed)
      *failed = true;
    return false;
  }
}

} // namespace

LONG getLong(IMAPIProp *object, ULONG tag, bool *failed)
{
  MapiBuffer<SPropValue> value;
  return readValue(object, tag, &value, failed) ? value->Value.l : 0;
}

bool getBool(IMAPIProp *object, ULONG tag, bool *failed)
{
  MapiBuffer<SPropValue> value;
  return readValue(object, tag, &value, failed) && value->Value.b == 1;
}

LONG minutesSince(ULONGLONG fileTime)
{
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  auto delta = static_cast<std::int64_t>(fileTimeToU64(now) - fileTime);
  std::int64_t minutes = delta / FILETIME_UNITS_PER_MINUTE;
  if (minutes > INT_MAX)
    return INT_MAX;
  if (minutes < INT_MIN)
    return INT_MIN;
  return static_cast<LONG>(minutes);
}

bool getTime(IMAPIProp *object, ULONG tag, ULONGLONG *fileTime, bool *failed)
{
  MapiBuffer<SPropValue> value;
  if (!readValue(object, tag, &value, failed))
    return false;
  *fileTime = fileTimeToU64(value->Value.ft);
  return true;
}

LONG getMinutesSince(IMAPIProp *object, ULONG tag)
{
  ULONGLONG delivered = 0;
  return getTime(object, tag, &delivered) ? minutesSince(delivered) : 0;
}

WCHAR *getString(IMAPIProp *object, ULONG tag, WCHAR *buffer, std::size_t capacity, bool *failed)
{
  if (!buffer || capacity == 0)
    return nullptr;
  MapiBuffer<SPropValue> value;
  if (!readValue(object, tag, &value, failed) || !value->Value.lpszW)
    return nullptr;
  const WCHAR *text = value->Value.lpszW;
  std::size_t n = 0;
  while (n < capacity - 1 && text[n])
    ++n;
  if (n == capacity - 1 && n > 0 && text[n] && isLeadSurrogate(text[n - 1]))
    --n;
  for (std::size_t i = 0; i < capacity; ++i)
    buffer[i] = i < n ? text[i] : 0;
  return buffer;
}

bool getRecipients(IMAPIProp *message, WCHAR *to, WCHAR *cc, std::size_t capacity)
{
  if (to && getString(message, PR_DISPLAY_TO, to, capacity))
    return true;
  if (cc && getString(message, PR_DISPLAY_CC, cc, capacity))
    return true;
  if ((!to && !cc) || capacity == 0)
    return false;
  ComRef<IStream> stream;
  try {
    HRESULT hr = message->OpenProperty(PR_CE_MIME_TEXT, &IID_IStream, 0, 0, stream.putUnknown());
    if (hr != S_OK || !stream)
      return false;
    return recipientsFromHeaders(message, stream.get(), to, cc, capacity);
  } catch (...) {
    // A fault while reading ends the reading; nothing had been found, since
    // a found line ends the reading at once.
    return false;
  }
}
