// IMAPITable over a list of entry ids taken when the table was obtained.
#include "platform/mapi/mapitags.h"
#include "platform/mapi/objects.h"

#include <algorithm>
#include <cstddef>

namespace qm_mapi {

namespace {

class TableObject final : public IMAPITable {
public:
  TableObject(SessionRef session, ULONG rowType, std::vector<MapiEntryBytes> rows)
      : session_(std::move(session)), rowType_(rowType), rows_(std::move(rows))
  {
    columns_ = {PR_ENTRYID, rowType == MAPI_MESSAGE ? PR_SUBJECT : PR_DISPLAY_NAME};
  }

  HRESULT QueryInterface(REFIID riid, void **ppv) override
  {
    if (!ppv)
      return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IMAPITable) {
      *ppv = static_cast<IMAPITable *>(this);
      AddRef();
      return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
  }
  ULONG AddRef() override { return ++refs_; }
  ULONG Release() override
  {
    ULONG left = --refs_;
    if (left == 0)
      delete this;
    return left;
  }

  HRESULT SetColumns(LPSPropTagArray lpPropTagArray, ULONG ulFlags) override
  {
    (void)ulFlags; // TBL_BATCH or not: columns are read at QueryRows either way
    return guarded(*session_, MapiCall::TableSetColumns, [&]() -> HRESULT {
      if (!lpPropTagArray || lpPropTagArray->cValues == 0)
        return MAPI_E_INVALID_PARAMETER;
      const ULONG *tags = lpPropTagArray->aulPropTag; // runs past the declared array
      std::lock_guard<std::mutex> guard(lock_);
      columns_.assign(tags, tags + lpPropTagArray->cValues);
      return S_OK;
    });
  }

  HRESULT QueryRows(LONG lRowCount, ULONG ulFlags, LPSRowSet *lppRows) override
  {
    (void)ulFlags; // TBL_NOADVANCE is not supported: the cursor always moves
    if (lppRows)
      *lppRows = nullptr;
    return guarded(*session_, MapiCall::TableQueryRows, [&]() -> HRESULT {
      if (!lppRows || lRowCount == 0)
        return MAPI_E_INVALID_PARAMETER;
      if (lRowCount < 0)
        return MAPI_E_NO_SUPPORT;
      std::lock_guard<std::mutex> guard(lock_);
      std::size_t n = std::min(static_cast<std::size_t>(lRowCount), rows_.size() - cursor_);
      void *block = nullptr;
      std::size_t size = offsetof(SRowSet, aRow) + sizeof(SRow) * std::max<std::size_t>(n, 1);
      HRESULT hr = MAPIAllocateBuffer(static_cast<ULONG>(size), &block);
      if (hr != S_OK)
        return hr;
      auto *set = static_cast<SRowSet *>(block);
      SRow *rows = set->aRow; // runs past the declared array
      for (std::size_t r = 0; r < n; ++r) {
        hr = fillRow(rows_[cursor_ + r], &rows[r]);
        if (hr != S_OK) {
          FreeProws(set);
          return hr;
        }
        set->cRows = static_cast<ULONG>(r + 1);
      }
      cursor_ += n;
      *lppRows = set;
      return S_OK;
    });
  }

  HRESULT GetRowCount(ULONG ulFlags, ULONG *lpulCount) override
  {
    (void)ulFlags; // no flags apply
    return guarded(*session_, MapiCall::TableGetRowCount, [&]() -> HRESULT {
      if (!lpulCount)
        return MAPI_E_INVALID_PARAMETER;
      *lpulCount = static_cast<ULONG>(rows_.size());
      return S_OK;
    });
  }

private:
  // One row's column values, its own block.
  HRESULT fillRow(const MapiEntryBytes &id, SRow *row)
  {
    void *block = nullptr;
    HRESULT hr = MAPIAllocateBuffer(static_cast<ULONG>(sizeof(SPropValue) * columns_.size()), &block);
    if (hr != S_OK)
      return hr;
    auto *values = static_cast<SPropValue *>(block);
    bool failed = false;
    for (std::size_t c = 0; c < columns_.size(); ++c) {
      MapiValue value;
      HRESULT read = readValue(*session_, id, rowType_, columns_[c], &value);
      hr = fillPropValue(read, value, columns_[c], &values[c], block, &failed);
      if (hr != S_OK) {
        MAPIFreeBuffer(block);
        return hr;
      }
    }
    row->cValues = static_cast<ULONG>(columns_.size());
    row->lpProps = values;
    return S_OK;
  }

  SessionRef session_;               // the session it belongs to
  ULONG rowType_;                    // MAPI_STORE, MAPI_FOLDER or MAPI_MESSAGE
  std::vector<MapiEntryBytes> rows_; // the rows' objects, in table order
  std::mutex lock_;                  // guards columns_ and cursor_
  std::vector<ULONG> columns_;       // tags of the columns returned
  std::size_t cursor_ = 0;           // index of the next row to return
  std::atomic<ULONG> refs_{1};       // reference count
};

} // namespace

HRESULT createTable(const SessionRef &session, ULONG rowType, std::vector<MapiEntryBytes> rows,
                    LPMAPITABLE *lppTable)
{
  *lppTable = new TableObject(session, rowType, std::move(rows));
  return S_OK;
}

} // namespace qm_mapi
