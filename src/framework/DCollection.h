// A collection that owns its items, numbered from 0, and tells whoever needs to know how many
// there are whenever the count changes (a module sizes its value arrays by it).
#pragma once

#include "framework/DTypes.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

template <class TItem> class TOwnedCollection {
public:
  // Makes the item that Add appends as number count + 1.
  using TMakeItem = std::function<std::unique_ptr<TItem>(int32_t number)>;
  using TCountChanged = std::function<void(int32_t count)>;

  TOwnedCollection(TMakeItem makeItem, TCountChanged countChanged)
      : FMakeItem(std::move(makeItem)), FCountChanged(std::move(countChanged)) {}

  int32_t Count() const { return static_cast<int32_t>(FItems.size()); }
  bool ValidIndex(int32_t index) const { return index >= 0 && index < Count(); }
  // Throws EVstModuleError for an index outside 0..Count-1.
  TItem& operator[](int32_t index) {
    if (!ValidIndex(index))
      throw EVstModuleError("List index out of bounds (" + std::to_string(index) + ")");
    return *FItems[static_cast<std::size_t>(index)];
  }
  const TItem& operator[](int32_t index) const {
    return const_cast<TOwnedCollection&>(*this)[index];
  }

  TItem& Add() {
    FItems.push_back(FMakeItem(Count() + 1));
    FCountChanged(Count());
    return *FItems.back();
  }
  void Clear() {
    FItems.clear();
    FCountChanged(0);
  }
  // Replaces the items by new ones, each assigned from the source's item.
  void Assign(const TOwnedCollection& source) {
    if (&source == this)
      return;
    Clear();
    for (const auto& item : source.FItems)
      Add().Assign(*item);
  }

private:
  TMakeItem FMakeItem;
  TCountChanged FCountChanged;
  std::vector<std::unique_ptr<TItem>> FItems;
};
