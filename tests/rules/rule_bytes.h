// Byte-level helpers for the rules and known-users tests: expected file
// bytes are built here by hand, offset by offset, never through the code
// under test; and blocks are loaded from and saved to memory.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

using Bytes = std::vector<std::uint8_t>;

// The rule block header: "Varn-1" in UTF-16LE and a 0x0000 unit.
inline Bytes headerBytes()
{
  return {0x56, 0x00, 0x61, 0x00, 0x72, 0x00, 0x6E, 0x00, 0x2D, 0x00, 0x31, 0x00, 0x00, 0x00};
}

inline void putU8(Bytes &b, std::size_t offset, std::uint8_t v)
{
  b.at(offset) = v;
}

inline void putI16(Bytes &b, std::size_t offset, std::int16_t v)
{
  auto u = static_cast<std::uint16_t>(v);
  b.at(offset) = static_cast<std::uint8_t>(u & 0xFF);
  b.at(offset + 1) = static_cast<std::uint8_t>(u >> 8);
}

inline void putI32(Bytes &b, std::size_t offset, std::int32_t v)
{
  auto u = static_cast<std::uint32_t>(v);
  for (int i = 0; i < 4; ++i)
    b.at(offset + i) = static_cast<std::uint8_t>(u >> (8 * i));
}

// UTF-16LE units of s at offset, followed by a 0x0000 unit when terminate.
inline void putText(Bytes &b, std::size_t offset, std::u16string_view s, bool terminate = true)
{
  for (std::size_t i = 0; i < s.size(); ++i) {
    b.at(offset + 2 * i) = static_cast<std::uint8_t>(s[i] & 0xFF);
    b.at(offset + 2 * i + 1) = static_cast<std::uint8_t>(s[i] >> 8);
  }
  if (terminate) {
    b.at(offset + 2 * s.size()) = 0;
    b.at(offset + 2 * s.size() + 1) = 0;
  }
}

inline void append(Bytes &to, const Bytes &more)
{
  to.insert(to.end(), more.begin(), more.end());
}

inline Bytes int32Bytes(std::int32_t v)
{
  Bytes b(4);
  putI32(b, 0, v);
  return b;
}

// A read-only FILE over a copy of the bytes (tmpfile, so that an empty
// input works too); closed by the caller.
inline FILE *fileOver(const Bytes &bytes)
{
  FILE *f = std::tmpfile();
  if (!bytes.empty())
    std::fwrite(bytes.data(), 1, bytes.size(), f);
  std::rewind(f);
  return f;
}

// Everything the writer puts into a fresh file.
template <class Writer>
Bytes bytesWrittenBy(Writer &&write)
{
  FILE *f = std::tmpfile();
  write(f);
  Bytes out(static_cast<std::size_t>(std::ftell(f)));
  std::rewind(f);
  if (!out.empty() && std::fread(out.data(), 1, out.size(), f) != out.size())
    out.clear();
  std::fclose(f);
  return out;
}

// An ASCII address repeated to n characters.
inline std::u16string longText(std::size_t n, char16_t first = u'a')
{
  std::u16string s;
  for (std::size_t i = 0; i < n; ++i)
    s += static_cast<char16_t>(first + i % 26);
  return s;
}
