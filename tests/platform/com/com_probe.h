// The interface and class of the in-process server the COM tests load.
#pragma once

#include "platform/com/com.h"

// {6A1E5B0C-73D2-4F0E-9C41-2B8D7E3A9F10}
inline constexpr CLSID CLSID_ComProbe = {
    0x6A1E5B0C, 0x73D2, 0x4F0E, {0x9C, 0x41, 0x2B, 0x8D, 0x7E, 0x3A, 0x9F, 0x10}};
// {6A1E5B0D-73D2-4F0E-9C41-2B8D7E3A9F10}
inline constexpr IID IID_IComProbe = {
    0x6A1E5B0D, 0x73D2, 0x4F0E, {0x9C, 0x41, 0x2B, 0x8D, 0x7E, 0x3A, 0x9F, 0x10}};

struct IComProbe : IUnknown {
  // 42.
  virtual int Answer() = 0;
  // How many probe objects live in the server now.
  virtual LONG LiveObjects() = 0;
};
