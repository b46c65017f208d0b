// The form's typed times: any text is read or refused without a fault, and
// a text that is read comes back from formTimeText as it was typed (blanks
// around it aside), so what the form saves is what the user wrote.
#include "platform/pim/item_form.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
  std::u16string text;
  for (std::size_t i = 0; i + 1 < size; i += 2)
    text.push_back(static_cast<char16_t>(data[i] | (data[i + 1] << 8)));
  std::u16string_view trimmed = text;
  while (!trimmed.empty() && (trimmed.front() == u' ' || trimmed.front() == u'\t'))
    trimmed.remove_prefix(1);
  while (!trimmed.empty() && (trimmed.back() == u' ' || trimmed.back() == u'\t'))
    trimmed.remove_suffix(1);
  for (bool withTime : {false, true}) {
    DATE time = 0;
    if (!parseFormTime(text, withTime, !withTime, &time) || trimmed.empty())
      continue;
    std::u16string back = formTimeText(time, withTime);
    // A day typed for an appointment comes back with its midnight.
    if (withTime && trimmed.size() == 10)
      back.resize(10);
    if (back != trimmed)
      std::abort();
  }
  return 0;
}
