#include "platform/maildir/message_content.h"

#include "platform/maildir/header_section.h"
#include "platform/maildir/maildir_folder.h"
#include "platform/maildir/mime.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <unistd.h>

namespace maildir {

namespace {

// The first read covers the header section of most mail (a page of the
// file); each further read takes four times as much as there is.
constexpr std::size_t FIRST_READ = 4 * 1024;

// Bytes up to this many are read into a buffer each thread keeps, so that
// most messages cost no allocation.
constexpr std::size_t KEPT_BYTES = 256 * 1024;

// The first bytes of an open file, grown on demand up to its size when opened.
struct Prefix {
  int fd = -1;                 // the file
  std::size_t fileSize = 0;    // its size when opened: no more is read
  char *data = nullptr;        // the bytes read (not zero-filled first)
  std::size_t capacity = 0;    // of data
  std::unique_ptr<char[]> own; // data when it outgrew the kept buffer
  std::size_t size = 0;        // bytes read so far
  bool atEnd = false;          // nothing more to read

  std::string_view text() const { return {data, size}; }
  bool more() const { return !atEnd; }

  // Reads until `want` bytes are there, or the end.
  void fill(std::size_t want)
  {
    want = std::min(want, fileSize);
    if (want > capacity) {
      thread_local std::unique_ptr<char[]> kept;
      if (want <= KEPT_BYTES) {
        if (!kept)
          kept.reset(new char[KEPT_BYTES]);
        data = kept.get();
        capacity = KEPT_BYTES;
      } else {
        std::unique_ptr<char[]> bigger(new char[want]);
        if (size)
          std::memcpy(bigger.get(), data, size);
        own = std::move(bigger);
        data = own.get();
        capacity = want;
      }
    }
    while (size < want) {
      ssize_t n = read(fd, data + size, want - size);
      if (n < 0 && errno == EINTR)
        continue;
      if (n <= 0) {
        atEnd = true;
        return;
      }
      size += static_cast<std::size_t>(n);
    }
    if (size >= fileSize)
      atEnd = true;
  }

  // Reads four times as much as there is, or the rest.
  void grow() { fill(std::max(size, FIRST_READ) * 4); }
};

} // namespace

std::optional<MessageContent> readMessageContent(const std::string &path)
{
  std::size_t size = 0;
  int fd = openMessageFile(path.c_str(), &size);
  if (fd < 0)
    return std::nullopt;
  Prefix prefix;
  prefix.fd = fd;
  prefix.fileSize = size;
  prefix.fill(FIRST_READ);
  HeaderSection headers = parseHeaderSection(prefix.text());
  while (!headers.ended && prefix.more()) {
    prefix.grow();
    headers = parseHeaderSection(prefix.text());
  }
  MessageContent content;
  content.summary = summarizeHeaders(headers);
  Attachments found = attachmentsInFirstBytes(prefix.text(), headers, prefix.more());
  while (found == Attachments::Unknown) {
    prefix.grow();
    // The fields point into the bytes, which growing moved.
    headers = parseHeaderSection(prefix.text());
    found = attachmentsInFirstBytes(prefix.text(), headers, prefix.more());
  }
  close(fd);
  content.hasAttachments = found == Attachments::Found;
  return content;
}

} // namespace maildir
