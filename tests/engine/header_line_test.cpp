#include "engine/header_line.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// Reads every line of data through a window of n bytes, the stream handing
// out at most chunk bytes per read (0: no limit).
std::vector<std::string> readAll(const std::string &data, std::size_t n = 64, ULONG chunk = 0)
{
  IStream *s = nullptr;
  EXPECT_EQ(CreateStreamOnMemory(data.data(), data.size(), &s, {.maxChunk = chunk}), S_OK);
  std::vector<char> window(n), line(n);
  char *end = window.data();
  std::vector<std::string> lines;
  while (readHeaderLine(s, window.data(), &end, line.data(), n) && lines.size() < 100)
    lines.emplace_back(line.data());
  s->Release();
  return lines;
}

using Lines = std::vector<std::string>;

struct LineCase {
  const char *name;
  std::string input;
  Lines expected;
};

const LineCase lineCases[] = {
    {"headers then body", "To: a\r\nCC: b\r\n\r\nbody", {"To: a", "CC: b", ""}},
    {"CR LF", "a\r\nb\r\n", {"a", "b"}},
    {"LF CR", "a\n\rb\n\r", {"a", "b"}},
    {"CR", "a\rb\rc", {"a", "b"}},
    {"CR CR is two", "a\r\rb\r\n", {"a", "", "b"}},
    {"LF LF is two", "a\n\nb\r\n", {"a", "", "b"}},
    {"last one-byte break", "a\nb\n", {"a"}},
    {"last line unended", "a\nb", {"a"}},
    {"empty stream", "", {}},
    {"only a break", "\r\n", {""}},
    {"folded lines stay apart", "Subject: a\r\n\tb\r\n", {"Subject: a", "\tb"}},
    {"zero bytes are line content", std::string("a\0b\r\nc\r\n", 8), {"a", "c"}},
};

class RecordingStream final : public IStream {
public:
  explicit RecordingStream(std::string data) : data_(std::move(data)) {}
  HRESULT QueryInterface(REFIID, void **) override { return E_NOINTERFACE; }
  ULONG AddRef() override { return 1; }
  ULONG Release() override { return 1; }
  HRESULT Read(void *pv, ULONG cb, ULONG *got) override
  {
    asked.push_back(cb);
    ULONG n = std::min<ULONG>(cb, static_cast<ULONG>(data_.size() - pos_));
    data_.copy(static_cast<char *>(pv), n, pos_);
    pos_ += n;
    *got = n;
    return n == cb ? S_OK : S_FALSE;
  }
  HRESULT Seek(LARGE_INTEGER, DWORD, ULARGE_INTEGER *) override { return STG_E_INVALIDFUNCTION; }
  std::vector<ULONG> asked; // the byte count of every Read

private:
  std::string data_;
  std::size_t pos_ = 0;
};

} // namespace

TEST(ReadHeaderLine, LineBreaks)
{
  for (const LineCase &c : lineCases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(readAll(c.input), c.expected);
  }
}

// The same lines whatever pieces the stream delivers, down to one byte.
TEST(ReadHeaderLine, AnyReadSizes)
{
  for (const LineCase &c : lineCases)
    for (ULONG chunk : {1u, 2u, 3u, 7u}) {
      SCOPED_TRACE(std::string(c.name) + " chunk " + std::to_string(chunk));
      EXPECT_EQ(readAll(c.input, 64, chunk), c.expected);
    }
}

// A line needs its break and the byte after it in the window: n - 2 bytes
// is the longest line.
TEST(ReadHeaderLine, LineThatFillsTheWindowEndsTheReading)
{
  EXPECT_EQ(readAll(std::string(14, 'x') + "\r\nnext\r\n", 16), Lines({std::string(14, 'x'), "next"}));
  EXPECT_EQ(readAll(std::string(15, 'x') + "\r\nnext\r\n", 16), Lines());
  EXPECT_EQ(readAll("short\r\n" + std::string(40, 'x') + "\r\n", 16), Lines({"short"}));
}

TEST(ReadHeaderLine, ReadErrorEndsTheReading)
{
  IStream *s = nullptr;
  std::string data = "one\r\ntwo\r\nthree\r\n";
  ASSERT_EQ(CreateStreamOnMemory(data.data(), data.size(), &s, {.failingRead = 1, .maxChunk = 6}), S_OK);
  char window[64], line[64];
  char *end = window;
  ASSERT_TRUE(readHeaderLine(s, window, &end, line, 64));
  EXPECT_STREQ(line, "one");
  EXPECT_FALSE(readHeaderLine(s, window, &end, line, 64));
  s->Release();
}

TEST(ReadHeaderLine, AsksAtMost128BytesAtATime)
{
  RecordingStream s(std::string(300, 'a') + "\r\n");
  std::vector<char> window(1024), line(1024);
  char *end = window.data();
  ASSERT_TRUE(readHeaderLine(&s, window.data(), &end, line.data(), 1024));
  EXPECT_EQ(std::string(line.data()), std::string(300, 'a'));
  EXPECT_EQ(s.asked, std::vector<ULONG>({128, 128, 128}));

  RecordingStream small(std::string(30, 'a'));
  std::vector<char> w(20), l(20);
  end = w.data();
  EXPECT_FALSE(readHeaderLine(&small, w.data(), &end, l.data(), 20));
  EXPECT_EQ(small.asked, std::vector<ULONG>({20}));
}

TEST(ReadHeaderLine, BadArguments)
{
  RecordingStream s("a\r\n");
  char window[16], line[16];
  char *end = window;
  EXPECT_FALSE(readHeaderLine(nullptr, window, &end, line, 8));
  EXPECT_FALSE(readHeaderLine(&s, window, &end, line, 0));
  char *outside = window + 9; // beyond a window of 8
  EXPECT_FALSE(readHeaderLine(&s, window, &outside, line, 8));
  EXPECT_TRUE(s.asked.empty());
}
