// Contact files from anywhere: reading never fails or reads out of bounds,
// and what was read writes back as lines of at most 75 octets that read
// again into components of the same shape.
#include "platform/pim/contentline.h"
#include "platform/pim/vcard.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

namespace {

// Components with their children, counted depth first.
std::size_t shape(const std::vector<Component> &cs, std::string *names)
{
  std::size_t n = 0;
  for (const Component &c : cs) {
    *names += '(';
    n += 1 + shape(c.children, names);
    *names += ')';
  }
  return n;
}

void checkLines(const std::string &text)
{
  std::size_t start = 0;
  for (std::size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2)
    if (end - start > 75)
      std::abort();
  if (start != text.size())
    std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
  std::string_view text(reinterpret_cast<const char *>(data), size);
  for (const Component &card : readVCards(text))
    (void)contactFromVCard(card); // only that it reads safely

  std::vector<Component> first = parseComponents(text);
  std::string written;
  for (const Component &c : first)
    appendComponent(written, c);
  checkLines(written);
  std::string before, after;
  std::size_t n = shape(first, &before);
  if (shape(parseComponents(written), &after) != n || before != after)
    std::abort();
  return 0;
}
