// The counting and interface lookup that every object behind a VST3 interface needs, for the
// plug-in's objects and for the objects a host hands to a plug-in alike.
#pragma once

#include "formats/vst3/Vst3Base.h"

#include <atomic>
#include <initializer_list>
#include <utility>

namespace vst3 {

// An object implementing Interfaces...: it starts with one reference, owned by whoever made it,
// and deletes itself when the last one is released. Counts are atomic: hosts hold references
// on several threads.
template <class... Interfaces> class TObject : public Interfaces... {
public:
  TObject() = default;
  TObject(const TObject&) = delete;
  TObject& operator=(const TObject&) = delete;

  uint32 VST3_CALL addRef() override { return FCount.fetch_add(1) + 1; }
  uint32 VST3_CALL release() override {
    const uint32 left = FCount.fetch_sub(1) - 1;
    if (left == 0)
      delete this;
    return left;
  }

protected:
  virtual ~TObject() = default;

  // One interface an object offers: its identifier and the pointer that stands for it.
  using Offer = std::pair<const Uid*, void*>;

  // The queryInterface answer: the pointer of the first offer whose identifier is iid, counted,
  // or null and kNoInterface.
  tresult Answer(const char* iid, void** obj, std::initializer_list<Offer> offers) {
    if (!obj)
      return kInvalidArgument;
    for (const Offer& offer : offers)
      if (SameUid(iid, *offer.first)) {
        addRef();
        *obj = offer.second;
        return kResultOk;
      }
    *obj = nullptr;
    return kNoInterface;
  }

private:
  std::atomic<uint32> FCount{1};
};

// A counted reference to an interface: adds one when taking a borrowed pointer (Borrow) or keeps
// one already counted (Adopt), and releases it when reset or destroyed.
template <class I> class TRef {
public:
  TRef() = default;
  static TRef Borrow(I* p) {
    if (p)
      p->addRef();
    return TRef(p);
  }
  static TRef Adopt(I* p) { return TRef(p); }
  TRef(TRef&& other) noexcept : FPointer(std::exchange(other.FPointer, nullptr)) {}
  TRef& operator=(TRef&& other) noexcept {
    if (this != &other) {
      reset();
      FPointer = std::exchange(other.FPointer, nullptr);
    }
    return *this;
  }
  TRef(const TRef&) = delete;
  TRef& operator=(const TRef&) = delete;
  ~TRef() { reset(); }

  void reset() {
    if (I* p = std::exchange(FPointer, nullptr))
      p->release();
  }
  I* get() const { return FPointer; }
  I* operator->() const { return FPointer; }
  I& operator*() const { return *FPointer; }
  explicit operator bool() const { return FPointer != nullptr; }

private:
  explicit TRef(I* p) : FPointer(p) {}
  I* FPointer = nullptr;
};

// The identifier as the const char* the interface methods take.
inline const char* IidOf(const Uid& uid) {
  return reinterpret_cast<const char*>(uid.data());
}

// Runs body and answers what it answers; an exception it throws is answered as failure instead,
// so that none crosses the interface.
template <class Body, class Result> Result Guarded(Result failure, Body&& body) noexcept {
  try {
    return body();
  } catch (...) {
    return failure;
  }
}

// Asks from for interface Q; an empty reference when it has none.
template <class Q> TRef<Q> Query(FUnknown* from) {
  void* obj = nullptr;
  if (from && from->queryInterface(IidOf(Q::iid), &obj) == kResultOk && obj)
    return TRef<Q>::Adopt(static_cast<Q*>(obj));
  return {};
}

} // namespace vst3
