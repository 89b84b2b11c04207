#include "skin/cDIBImageList.h"

#include "skin/cDIBPictureFiles.h"

#include <algorithm>

namespace {

#ifdef _WIN32
constexpr char kPathSeparator = '\\';
#else
constexpr char kPathSeparator = '/';
#endif

bool IsSeparator(char c) {
  return c == '/' || c == '\\';
}

[[noreturn]] void IndexOutOfBounds(int index) {
  throw EDIBError("List index out of bounds (" + std::to_string(index) + ")");
}

} // namespace

// --- TDIBImagesItem ------------------------------------------------------------------------

TDIBImagesItem::TDIBImagesItem(TDIBImages& collection)
    : FCollection(collection), FDIB(std::make_unique<TMemoryDIB>(1, 1)) {
  FDIB->OnChange = [this](TAbstractSuperDIB&) {
    if (TCustomDIBImageList* list = FCollection.Owner())
      list->ItemChanged(Index());
  };
}

TDIBImagesItem::~TDIBImagesItem() = default;

void TDIBImagesItem::SetImageRetrieval(TDIBImageRetrieval value) {
  FImageRetrieval = value;
  FDIB->StoreData = value == irInternal;
}

void TDIBImagesItem::SetDIB(const TAbstractSuperDIB& image) {
  FDIB->Assign(image);
  FDIB->StoreData = FImageRetrieval == irInternal;
}

TMemoryDIB& TDIBImagesItem::DIB() {
  Retrieve();
  return *FDIB;
}

void TDIBImagesItem::Retrieve() {
  if (FRetrieved)
    return;
  if (FImageRetrieval == irInternal) {
    FRetrieved = true;
    return;
  }
  if (FDIB->ImageFilename.empty())
    return;
  FDIB->BeginUpdate();
  try {
    LoadDIBFromFile(*FDIB, TranslateImagePath(FDIB->ImageFilename));
    if (!FDIB->MaskFilename.empty())
      LoadDIBMaskFromFile(*FDIB, TranslateImagePath(FDIB->MaskFilename));
  } catch (...) {
    FDIB->EndUpdate();
    throw;
  }
  FRetrieved = true;
  FDIB->EndUpdate();
}

std::string TDIBImagesItem::TranslateImagePath(const std::string& storedPath) {
  if (storedPath.empty() || !OnTranslateImagePath)
    return storedPath;
  const auto last = std::find_if(storedPath.rbegin(), storedPath.rend(), IsSeparator);
  const size_t nameStart = size_t(storedPath.rend() - last);
  std::string directory = storedPath.substr(0, nameStart);
  const std::string name = storedPath.substr(nameStart);
  OnTranslateImagePath(*this, directory);
  if (directory.empty())
    return name;
  if (!IsSeparator(directory.back()))
    directory += kPathSeparator;
  return directory + name;
}

int TDIBImagesItem::Index() const {
  return FCollection.IndexOf(*this);
}

void TDIBImagesItem::SetIndex(int value) {
  FCollection.Move(Index(), value);
}

// --- TDIBImages ----------------------------------------------------------------------------

TDIBImagesItem& TDIBImages::Add() {
  FItems.push_back(std::make_unique<TDIBImagesItem>(*this));
  return *FItems.back();
}

void TDIBImages::Delete(int index) {
  if (index < 0 || index >= Count())
    IndexOutOfBounds(index);
  std::unique_ptr<TDIBImagesItem> item = std::move(FItems[size_t(index)]);
  FItems.erase(FItems.begin() + index);
  item.reset();
  if (FOwner)
    FOwner->ItemDeleted(index);
}

void TDIBImages::Clear() {
  while (!FItems.empty())
    Delete(Count() - 1);
}

int TDIBImages::IndexOf(const TDIBImagesItem& item) const {
  for (size_t i = 0; i < FItems.size(); ++i)
    if (FItems[i].get() == &item)
      return int(i);
  return -1;
}

void TDIBImages::Move(int from, int to) {
  if (from < 0 || from >= Count())
    IndexOutOfBounds(from);
  if (to < 0 || to >= Count())
    IndexOutOfBounds(to);
  if (from == to)
    return;
  const auto first = FItems.begin();
  if (from < to)
    std::rotate(first + from, first + from + 1, first + to + 1);
  else
    std::rotate(first + to, first + from, first + from + 1);
  if (FOwner)
    FOwner->ItemMoved(from, to);
}

TDIBImagesItem& TDIBImages::FindOrAddTemplate(const std::string& name, int number) {
  const std::string key = std::to_string(number) + ":" + name;
  for (auto& item : FItems)
    if (item->TemplateFilename == key)
      return *item;
  TDIBImagesItem& item = Add();
  item.TemplateFilename = key;
  return item;
}

// --- TCustomDIBImageList -------------------------------------------------------------------

TCustomDIBImageList::TCustomDIBImageList() : FDIBImages(this) {}

TCustomDIBImageList::~TCustomDIBImageList() {
  FDestroying = true;
  for (TDIBImageLink* link : FLinks)
    link->FDIBImageList = nullptr;
  FLinks.clear();
  FDIBImages.Clear();
}

bool TCustomDIBImageList::GetImage(int index, TMemoryDIB*& image) {
  if (!IsValidIndex(index))
    return false;
  TMemoryDIB& source = FDIBImages.Items(index).DIB();
  if (!source.HasBuffer())
    return false;
  FScratch.ShareView(source);
  image = &FScratch;
  return true;
}

bool TCustomDIBImageList::GetImageFor(int index, double scale, TMemoryDIB*& image) {
  if (!GetImage(index, image))
    return false;
  TMemoryDIB* scaled = scale != 1.0 && ScaledImage ? ScaledImage(index, scale) : nullptr;
  if (scaled && scaled->HasBuffer()) {
    FScratch.ShareView(*scaled);
    image = &FScratch;
  }
  return true;
}

void TCustomDIBImageList::Loaded() {
  for (int i = 0; i < FDIBImages.Count(); ++i) {
    TDIBImagesItem& item = FDIBImages.Items(i);
    if (item.ImageRetrieval() == irLoadOnStart)
      item.Retrieve();
  }
}

void TCustomDIBImageList::ForEachLink(const std::function<void(TDIBImageLink&)>& notify) {
  const std::vector<TDIBImageLink*> links = FLinks;
  for (TDIBImageLink* link : links)
    if (std::find(FLinks.begin(), FLinks.end(), link) != FLinks.end())
      notify(*link);
}

void TCustomDIBImageList::ItemChanged(int index) {
  if (!FDestroying)
    ForEachLink([index](TDIBImageLink& link) { link.Changed(index); });
}

void TCustomDIBImageList::ItemDeleted(int index) {
  if (!FDestroying)
    ForEachLink([index](TDIBImageLink& link) { link.Deleted(index); });
}

void TCustomDIBImageList::ItemMoved(int from, int to) {
  if (!FDestroying)
    ForEachLink([from, to](TDIBImageLink& link) { link.Moved(from, to); });
}

void TCustomDIBImageList::RegisterLink(TDIBImageLink& link) {
  if (std::find(FLinks.begin(), FLinks.end(), &link) == FLinks.end())
    FLinks.push_back(&link);
  for (int i = 0; i < FDIBImages.Count(); ++i)
    link.Changed(i);
}

void TCustomDIBImageList::UnregisterLink(TDIBImageLink& link) {
  FLinks.erase(std::remove(FLinks.begin(), FLinks.end(), &link), FLinks.end());
}

// --- TDIBImageLink -------------------------------------------------------------------------

TDIBImageLink::~TDIBImageLink() {
  if (FDIBImageList)
    FDIBImageList->UnregisterLink(*this);
}

void TDIBImageLink::SetDIBImageList(TCustomDIBImageList* value) {
  if (FDIBImageList)
    FDIBImageList->UnregisterLink(*this);
  FDIBImageList = value;
  if (FDIBImageList)
    FDIBImageList->RegisterLink(*this);
}

void TDIBImageLink::SetDIBIndex(int value) {
  if (value == FDIBIndex)
    return;
  FDIBIndex = value;
  Fire(value, lcChanged);
}

bool TDIBImageLink::GetImage(TMemoryDIB*& image) const {
  return FDIBImageList && FDIBImageList->GetImage(FDIBIndex, image);
}

TMemoryDIB* TDIBImageLink::GetImageFor(double scale) const {
  TMemoryDIB* image = nullptr;
  return FDIBImageList && FDIBImageList->GetImageFor(FDIBIndex, scale, image) ? image : nullptr;
}

bool TDIBImageLink::IsValid() const {
  return FDIBImageList && FDIBImageList->IsValidIndex(FDIBIndex);
}

void TDIBImageLink::Changed(int index) {
  if (!FOwnerDestroying && FDIBIndex == index)
    Fire(index, lcChanged);
}

void TDIBImageLink::Deleted(int index) {
  if (FOwnerDestroying)
    return;
  if (FDIBIndex > index) {
    --FDIBIndex;
  } else if (FDIBIndex == index) {
    Fire(index, lcDeleted);
    FDIBIndex = -1;
  }
}

void TDIBImageLink::Moved(int from, int to) {
  if (FDIBIndex == from)
    FDIBIndex = to;
  else if (from < to && FDIBIndex > from && FDIBIndex <= to)
    --FDIBIndex;
  else if (from > to && FDIBIndex >= to && FDIBIndex < from)
    ++FDIBIndex;
}

void TDIBImageLink::Fire(int index, int kind) {
  if (OnChange)
    OnChange(*this, index, kind);
}
