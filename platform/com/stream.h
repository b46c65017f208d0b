// COM's byte stream: the interface through which the messaging layer hands
// out long property values (the transport header text among them), and a
// reference-counted stream over a copy of a byte buffer.
#pragma once

#include "platform/com/unknown.h"

#include <cstddef>

// {0000000C-0000-0000-C000-000000000046}
inline constexpr IID IID_IStream = {0x0000000C, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

constexpr HRESULT STG_E_INVALIDFUNCTION = static_cast<HRESULT>(0x80030001);
constexpr HRESULT STG_E_INVALIDPOINTER = static_cast<HRESULT>(0x80030009);
constexpr HRESULT STG_E_READFAULT = static_cast<HRESULT>(0x8003001E);

// Seek origins.
constexpr DWORD STREAM_SEEK_SET = 0; // from the start
constexpr DWORD STREAM_SEEK_CUR = 1; // from the current position
constexpr DWORD STREAM_SEEK_END = 2; // from the end

struct IStream : IUnknown {
  // Reads up to cb bytes into pv from the current position and moves past
  // them; *pcbRead (when given) receives the count. S_OK when cb bytes were
  // read or the stream chose a shorter read before its end, S_FALSE when
  // the end came first (0 bytes at the end), a failure code otherwise.
  virtual HRESULT Read(void *pv, ULONG cb, ULONG *pcbRead) = 0;

  // Moves the position to origin + move; a position before the start fails
  // with STG_E_INVALIDFUNCTION, one past the end is allowed (reads give 0).
  // *newPosition (when given) receives the new position.
  virtual HRESULT Seek(LARGE_INTEGER move, DWORD origin, ULARGE_INTEGER *newPosition) = 0;
};

// What a memory stream does wrong on purpose, for tests of its callers.
struct MemoryStreamFaults {
  int failingRead = -1; // index (0 = first) of the Read call that fails with STG_E_READFAULT; -1: none
  ULONG maxChunk = 0;   // a Read delivers at most this many bytes (short reads); 0: no limit
};

// Creates a stream over a copy of size bytes at data, positioned at the
// start, with one reference. S_OK, E_POINTER (stream null, or data null with
// size > 0) or E_OUTOFMEMORY.
HRESULT CreateStreamOnMemory(const void *data, std::size_t size, IStream **stream,
                             const MemoryStreamFaults &faults = {});
