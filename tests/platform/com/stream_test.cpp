#include "platform/com/stream.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// Owns one reference for a test's scope.
struct StreamRef {
  IStream *p = nullptr;
  ~StreamRef()
  {
    if (p)
      p->Release();
  }
};

} // namespace

TEST(MemoryStream, ReadsInPiecesThenSignalsTheEnd)
{
  StreamRef s;
  ASSERT_EQ(CreateStreamOnMemory("abcdefg", 7, &s.p), S_OK);
  char buf[8] = {};
  ULONG got = 99;
  EXPECT_EQ(s.p->Read(buf, 4, &got), S_OK);
  EXPECT_EQ(got, 4u);
  EXPECT_EQ(std::string(buf, 4), "abcd");
  EXPECT_EQ(s.p->Read(buf, 4, &got), S_FALSE); // fewer than asked: the end came first
  EXPECT_EQ(got, 3u);
  EXPECT_EQ(std::string(buf, 3), "efg");
  EXPECT_EQ(s.p->Read(buf, 4, &got), S_FALSE);
  EXPECT_EQ(got, 0u);
  EXPECT_EQ(s.p->Read(buf, 0, nullptr), S_OK);
}

TEST(MemoryStream, KeepsItsOwnCopy)
{
  std::string data = "hello";
  StreamRef s;
  ASSERT_EQ(CreateStreamOnMemory(data.data(), data.size(), &s.p), S_OK);
  data.assign("XXXXX");
  char buf[5];
  ULONG got = 0;
  EXPECT_EQ(s.p->Read(buf, 5, &got), S_OK);
  EXPECT_EQ(std::string(buf, got), "hello");
}

TEST(MemoryStream, SeeksWithinAndBeyond)
{
  StreamRef s;
  ASSERT_EQ(CreateStreamOnMemory("0123456789", 10, &s.p), S_OK);
  ULARGE_INTEGER pos{};
  EXPECT_EQ(s.p->Seek({-3}, STREAM_SEEK_END, &pos), S_OK);
  EXPECT_EQ(pos.QuadPart, 7u);
  char c;
  ULONG got = 0;
  EXPECT_EQ(s.p->Read(&c, 1, &got), S_OK);
  EXPECT_EQ(c, '7');
  EXPECT_EQ(s.p->Seek({-9}, STREAM_SEEK_CUR, &pos), STG_E_INVALIDFUNCTION);
  EXPECT_EQ(s.p->Seek({INT64_MAX}, STREAM_SEEK_CUR, &pos), STG_E_INVALIDFUNCTION);
  EXPECT_EQ(s.p->Seek({20}, STREAM_SEEK_SET, &pos), S_OK);
  EXPECT_EQ(s.p->Read(&c, 1, &got), S_FALSE);
  EXPECT_EQ(got, 0u);
  EXPECT_EQ(s.p->Seek({0}, 7, nullptr), STG_E_INVALIDFUNCTION);
}

TEST(MemoryStream, InjectedFaults)
{
  StreamRef s;
  ASSERT_EQ(CreateStreamOnMemory("abcdef", 6, &s.p, {.failingRead = 1, .maxChunk = 2}), S_OK);
  char buf[8];
  ULONG got = 99;
  EXPECT_EQ(s.p->Read(buf, 8, &got), S_OK); // a short read that is not the end
  EXPECT_EQ(got, 2u);
  EXPECT_EQ(s.p->Read(buf, 8, &got), STG_E_READFAULT);
  EXPECT_EQ(got, 0u);
  EXPECT_EQ(s.p->Read(buf, 8, &got), S_OK); // later reads go on where the last good one ended
  EXPECT_EQ(std::string(buf, got), "cd");
}

TEST(MemoryStream, InterfacesAndReferences)
{
  IStream *s = nullptr;
  ASSERT_EQ(CreateStreamOnMemory(nullptr, 0, &s), S_OK);
  void *p = nullptr;
  EXPECT_EQ(s->QueryInterface(IID_IStream, &p), S_OK);
  EXPECT_EQ(p, s);
  EXPECT_EQ(s->QueryInterface(IID_IUnknown, &p), S_OK);
  const IID other = {1, 2, 3, {4, 5, 6, 7, 8, 9, 10, 11}};
  EXPECT_EQ(s->QueryInterface(other, &p), E_NOINTERFACE);
  EXPECT_EQ(p, nullptr);
  EXPECT_EQ(s->Release(), 2u);
  EXPECT_EQ(s->Release(), 1u);
  EXPECT_EQ(s->Release(), 0u);

  EXPECT_EQ(CreateStreamOnMemory(nullptr, 3, &s), E_POINTER);
  EXPECT_EQ(s, nullptr);
  EXPECT_EQ(CreateStreamOnMemory("x", 1, nullptr), E_POINTER);
}
