#include "platform/mapi/mapix.h"

#include <gtest/gtest.h>

#include <cstring>

TEST(MapiBuffers, ChainedBlocksGoWithTheirRoot)
{
  void *root = nullptr;
  ASSERT_EQ(S_OK, MAPIAllocateBuffer(24, &root));
  for (int i = 0; i < 3; ++i) {
    void *more = nullptr;
    ASSERT_EQ(S_OK, MAPIAllocateMore(100, root, &more));
    std::memset(more, 0xAB, 100);
  }
  // One free releases everything; AddressSanitizer would report a leak otherwise.
  EXPECT_EQ(0u, MAPIFreeBuffer(root));
}

TEST(MapiBuffers, BlocksAreZeroedAndAligned)
{
  void *p = nullptr;
  ASSERT_EQ(S_OK, MAPIAllocateBuffer(64, &p));
  EXPECT_EQ(0u, reinterpret_cast<std::uintptr_t>(p) % alignof(std::max_align_t));
  for (int i = 0; i < 64; ++i)
    EXPECT_EQ(0, static_cast<unsigned char *>(p)[i]);
  MAPIFreeBuffer(p);
}

TEST(MapiBuffers, MisuseIsRefused)
{
  void *p = nullptr;
  EXPECT_EQ(MAPI_E_INVALID_PARAMETER, MAPIAllocateMore(8, nullptr, &p));
  EXPECT_EQ(nullptr, p);
  void *root = nullptr;
  ASSERT_EQ(S_OK, MAPIAllocateBuffer(8, &root));
  void *more = nullptr;
  ASSERT_EQ(S_OK, MAPIAllocateMore(8, root, &more));
  // A chained block is neither a root for more blocks nor freed on its own.
  void *deeper = nullptr;
  EXPECT_EQ(MAPI_E_INVALID_PARAMETER, MAPIAllocateMore(8, more, &deeper));
  EXPECT_EQ(0u, MAPIFreeBuffer(more));
  MAPIFreeBuffer(root);
  EXPECT_EQ(0u, MAPIFreeBuffer(nullptr));
  FreeProws(nullptr);
}
