// Scope holders for what the messaging calls hand out: interface pointers
// (released), MAPIAllocateBuffer blocks (freed with MAPIFreeBuffer) and row
// sets (FreeProws). They keep the engine's many early returns, and the
// exceptions a store call may raise, from leaking objects or buffers.
#pragma once

#include "platform/mapi/mapix.h"

#include <utility>

// Owns one reference to a COM-style object; releases it at the end of scope.
template <class T>
class ComRef {
public:
  ComRef() = default;
  explicit ComRef(T *p) : p_(p) {}
  ~ComRef() { reset(); }
  ComRef(const ComRef &) = delete;
  ComRef &operator=(const ComRef &) = delete;
  ComRef(ComRef &&other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
  ComRef &operator=(ComRef &&other) noexcept
  {
    if (this != &other) {
      reset();
      p_ = std::exchange(other.p_, nullptr);
    }
    return *this;
  }

  T *get() const { return p_; }
  T *operator->() const { return p_; }
  explicit operator bool() const { return p_ != nullptr; }
  // Hands the reference to the caller.
  T *detach() { return std::exchange(p_, nullptr); }
  void reset()
  {
    if (T *p = std::exchange(p_, nullptr))
      p->Release();
  }
  // For out parameters: releases what is held and gives the slot.
  T **put()
  {
    reset();
    return &p_;
  }
  // An out parameter for calls that hand back an IUnknown (OpenEntry,
  // OpenProperty): the object is taken over, as the interface asked for,
  // at the end of the full expression of the call.
  class UnknownOut;
  UnknownOut putUnknown();

private:
  T *p_ = nullptr; // the object, or null
};

// The object of an OpenEntry or OpenProperty is the interface asked for (one
// interface per object address), so the IUnknown it comes as is cast down.
template <class T>
class ComRef<T>::UnknownOut {
public:
  explicit UnknownOut(ComRef<T> *target) : target_(target) {}
  ~UnknownOut() { *target_ = ComRef<T>(static_cast<T *>(raw_)); }
  UnknownOut(const UnknownOut &) = delete;
  UnknownOut &operator=(const UnknownOut &) = delete;
  operator LPUNKNOWN *() { return &raw_; }

private:
  ComRef<T> *target_;       // where the object goes
  IUnknown *raw_ = nullptr; // the call's out parameter
};

template <class T>
typename ComRef<T>::UnknownOut ComRef<T>::putUnknown()
{
  reset();
  return UnknownOut(this);
}

// Owns one MAPIAllocateBuffer block; frees it at the end of scope.
template <class T>
class MapiBuffer {
public:
  MapiBuffer() = default;
  ~MapiBuffer() { reset(); }
  MapiBuffer(const MapiBuffer &) = delete;
  MapiBuffer &operator=(const MapiBuffer &) = delete;

  T *get() const { return p_; }
  T *operator->() const { return p_; }
  explicit operator bool() const { return p_ != nullptr; }
  T *detach() { return std::exchange(p_, nullptr); }
  void reset()
  {
    if (T *p = std::exchange(p_, nullptr))
      (void)MAPIFreeBuffer(p); // always 0
  }
  T **put()
  {
    reset();
    return &p_;
  }

private:
  T *p_ = nullptr; // the block, or null
};

// Owns one row set from QueryRows; frees it with FreeProws at the end of scope.
class RowSetHold {
public:
  RowSetHold() = default;
  ~RowSetHold() { reset(); }
  RowSetHold(const RowSetHold &) = delete;
  RowSetHold &operator=(const RowSetHold &) = delete;

  LPSRowSet get() const { return p_; }
  LPSRowSet operator->() const { return p_; }
  void reset()
  {
    if (LPSRowSet p = std::exchange(p_, nullptr))
      FreeProws(p);
  }
  LPSRowSet *put()
  {
    reset();
    return &p_;
  }

private:
  LPSRowSet p_ = nullptr; // the row set, or null
};

// A one-tag property tag array, as every single-property read passes.
struct OneTag {
  explicit OneTag(ULONG tag) : tags{1, {tag}} {}
  LPSPropTagArray get() { return reinterpret_cast<LPSPropTagArray>(&tags); }
  SizedSPropTagArray(1, tags); // count 1 and the tag
};

// How reading one property went.
enum class PropRead {
  Value,  // the property, under the tag asked for
  Absent, // the object has no such property (or has it under another type)
  Failed, // the store could not say: the call failed
};

// Reads one property of obj (flags MAPI_UNICODE) into value. Exceptions
// raised by the store pass through.
PropRead readProp(IMAPIProp *obj, ULONG tag, MapiBuffer<SPropValue> *value);

// Reads one property of obj (flags MAPI_UNICODE) into value. True only when
// GetProps returned 0 with at least one value whose tag is exactly `tag`;
// otherwise value is empty or holds a value that must not be used. Exceptions
// raised by the store pass through.
bool readOneProp(IMAPIProp *obj, ULONG tag, MapiBuffer<SPropValue> *value);

// The entry id in the first column of a table row: true with its size and
// bytes when that column is a binary value with bytes.
bool rowEntryId(const SRowSet *rows, ULONG *size, LPENTRYID *id);
