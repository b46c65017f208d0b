// MAPIAllocateBuffer and friends. Each block carries a small header in front
// of the caller's bytes; a root block links the blocks chained to it, so one
// MAPIFreeBuffer frees a whole structure (property values with their strings,
// a notification array with its entry ids).
#include "platform/mapi/mapix.h"

#include <cstdlib>
#include <new>

namespace {

constexpr std::uint32_t ROOT_MAGIC = 0x4D415052; // a MAPIAllocateBuffer block
constexpr std::uint32_t MORE_MAGIC = 0x4D41504D; // a block chained by MAPIAllocateMore

// Sits in front of every block; 16 bytes, so the caller's bytes keep malloc's alignment.
struct alignas(16) BlockHeader {
  std::uint32_t magic; // ROOT_MAGIC or MORE_MAGIC
  BlockHeader *chain;  // root: first chained block; chained block: the next one
};
static_assert(sizeof(BlockHeader) == 16);

BlockHeader *headerOf(void *p) { return static_cast<BlockHeader *>(p) - 1; }

BlockHeader *allocateBlock(ULONG cbSize, std::uint32_t magic)
{
  void *raw = std::calloc(1, sizeof(BlockHeader) + static_cast<std::size_t>(cbSize));
  if (!raw)
    return nullptr;
  auto *h = new (raw) BlockHeader{magic, nullptr};
  return h;
}

} // namespace

SCODE MAPIAllocateBuffer(ULONG cbSize, LPVOID *lppBuffer)
{
  if (!lppBuffer)
    return MAPI_E_INVALID_PARAMETER;
  *lppBuffer = nullptr;
  BlockHeader *h = allocateBlock(cbSize, ROOT_MAGIC);
  if (!h)
    return MAPI_E_NOT_ENOUGH_MEMORY;
  *lppBuffer = h + 1;
  return S_OK;
}

SCODE MAPIAllocateMore(ULONG cbSize, LPVOID lpObject, LPVOID *lppBuffer)
{
  if (!lppBuffer)
    return MAPI_E_INVALID_PARAMETER;
  *lppBuffer = nullptr;
  if (!lpObject)
    return MAPI_E_INVALID_PARAMETER;
  BlockHeader *root = headerOf(lpObject);
  if (root->magic != ROOT_MAGIC)
    return MAPI_E_INVALID_PARAMETER;
  BlockHeader *h = allocateBlock(cbSize, MORE_MAGIC);
  if (!h)
    return MAPI_E_NOT_ENOUGH_MEMORY;
  h->chain = root->chain;
  root->chain = h;
  *lppBuffer = h + 1;
  return S_OK;
}

ULONG MAPIFreeBuffer(LPVOID lpBuffer)
{
  if (!lpBuffer)
    return 0;
  BlockHeader *root = headerOf(lpBuffer);
  // A chained block is freed with its root only; freeing it alone is ignored.
  if (root->magic != ROOT_MAGIC)
    return 0;
  BlockHeader *h = root->chain;
  while (h) {
    BlockHeader *next = h->chain;
    h->magic = 0;
    std::free(h);
    h = next;
  }
  root->magic = 0;
  std::free(root);
  return 0;
}

void FreeProws(LPSRowSet lpRows)
{
  if (!lpRows)
    return;
  SRow *rows = lpRows->aRow; // the rows run past the declared one-element array
  for (ULONG i = 0; i < lpRows->cRows; ++i)
    MAPIFreeBuffer(rows[i].lpProps);
  MAPIFreeBuffer(lpRows);
}
