// Image lists: a collection of items, each owning one memory image, and the links through
// which controls refer to an image by (list, index) and are told when items change, move or
// disappear.
#pragma once

#include "skin/Controls.h"
#include "skin/cDIB.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

class TCustomDIBImageList;
class TDIBImages;
class TDIBImageLink;

enum TDIBImageRetrieval : uint8_t { irInternal = 0, irLoadOnStart = 1, irLoadOnDemand = 2 };

// Kinds of change reported to a link's callback.
enum : int { lcDeleted = 0, lcChanged = 1 };

using TDIBTranslateImagePathEvent =
    std::function<void(class TDIBImagesItem& sender, std::string& imagePath)>;

class TDIBImagesItem {
public:
  explicit TDIBImagesItem(TDIBImages& collection);
  ~TDIBImagesItem();
  TDIBImagesItem(const TDIBImagesItem&) = delete;
  TDIBImagesItem& operator=(const TDIBImagesItem&) = delete;

  TDIBImageRetrieval ImageRetrieval() const { return FImageRetrieval; }
  // Also sets the image's store-data flag to (value = irInternal).
  void SetImageRetrieval(TDIBImageRetrieval value);

  // The owned image, retrieved first when needed.
  TMemoryDIB& DIB();
  // The owned image as it stands, without retrieval (for streaming).
  TMemoryDIB& StoredDIB() { return *FDIB; }
  // Copies the image into the owned one; its store-data flag keeps following the retrieval
  // mode (a copied-in flag would drop the pixels of an irInternal item when written).
  void SetDIB(const TAbstractSuperDIB& image);

  std::string DisplayName;
  TDIBTranslateImagePathEvent OnTranslateImagePath;
  std::string TemplateFilename;

  bool Retrieved() const { return FRetrieved; }
  // Loads the image (and its mask) from the files named by the image when it is not
  // retrieved yet and the retrieval mode asks for files.
  void Retrieve();
  // The stored path with its directory replaced through OnTranslateImagePath.
  std::string TranslateImagePath(const std::string& storedPath);

  int Index() const;
  // Moves the item within its collection.
  void SetIndex(int value);
  TDIBImages& Collection() const { return FCollection; }

private:
  TDIBImages& FCollection;
  std::unique_ptr<TMemoryDIB> FDIB;
  TDIBImageRetrieval FImageRetrieval = irInternal;
  bool FRetrieved = false;
};

class TDIBImages {
public:
  explicit TDIBImages(TCustomDIBImageList* owner) : FOwner(owner) {}
  ~TDIBImages() { Clear(); }
  TDIBImages(const TDIBImages&) = delete;
  TDIBImages& operator=(const TDIBImages&) = delete;

  int Count() const { return int(FItems.size()); }
  TDIBImagesItem& Items(int index) const { return *FItems.at(size_t(index)); }
  TDIBImagesItem& Add();
  // Frees the item; the list is told that the item at that index was deleted.
  void Delete(int index);
  void Clear();
  int IndexOf(const TDIBImagesItem& item) const;
  void Move(int from, int to);
  // The first item whose TemplateFilename is "<number>:<name>", or a new item with it.
  TDIBImagesItem& FindOrAddTemplate(const std::string& name, int number);
  TCustomDIBImageList* Owner() const { return FOwner; }

private:
  TCustomDIBImageList* FOwner;
  std::vector<std::unique_ptr<TDIBImagesItem>> FItems;
};

class TCustomDIBImageList {
public:
  TCustomDIBImageList();
  virtual ~TCustomDIBImageList();
  TCustomDIBImageList(const TCustomDIBImageList&) = delete;
  TCustomDIBImageList& operator=(const TCustomDIBImageList&) = delete;

  TDIBImages& DIBImages() { return FDIBImages; }
  const TDIBImages& DIBImages() const { return FDIBImages; }

  // On success image is the list's one scratch image, a view of the item's pixels and
  // attributes; it stays valid until the next GetImage on this list.
  bool GetImage(int index, TMemoryDIB*& image);
  // As GetImage, for drawing at a display scale: a view of the item's artwork for that scale
  // where ScaledImage has one (with that artwork's attributes), else of the item itself.
  bool GetImageFor(int index, double scale, TMemoryDIB*& image);
  // The artwork of item index drawn for a display scale other than 1, or null when there is
  // none; unassigned, every scale draws the items themselves.
  std::function<TMemoryDIB*(int index, double scale)> ScaledImage;
  bool IsValidIndex(int index) const { return index >= 0 && index < FDIBImages.Count(); }
  // To be called when the list has been loaded: retrieves the irLoadOnStart items.
  void Loaded();

  // Notifications from the items.
  void ItemChanged(int index);
  void ItemDeleted(int index);
  void ItemMoved(int from, int to);

  // Adds the link once and sends it a changed notice for every item index.
  void RegisterLink(TDIBImageLink& link);
  void UnregisterLink(TDIBImageLink& link);
  int LinkCount() const { return int(FLinks.size()); }

private:
  // Calls notify for each link registered now and still registered when its turn comes.
  void ForEachLink(const std::function<void(TDIBImageLink&)>& notify);

  TDIBImages FDIBImages;
  std::vector<TDIBImageLink*> FLinks;
  TMemoryDIB FScratch{1, 1};
  bool FDestroying = false;
};

// The image list as a component of a form: controls that use it forget it when it goes.
class TDIBImageList : public TCustomDIBImageList, public TComponent {
public:
  explicit TDIBImageList(TComponent* owner = nullptr) : TComponent(owner) {}
  const char* ClassName() const override { return "TDIBImageList"; }
  // The form has been read: retrieves the items loaded on start.
  void Loaded() override { TCustomDIBImageList::Loaded(); }
};

class TCustomDIBControl;

class TDIBImageLink {
public:
  explicit TDIBImageLink(TCustomDIBControl* owner = nullptr) : FOwner(owner) {}
  ~TDIBImageLink();
  TDIBImageLink(const TDIBImageLink&) = delete;
  TDIBImageLink& operator=(const TDIBImageLink&) = delete;

  TCustomDIBImageList* DIBImageList() const { return FDIBImageList; }
  // Unregisters from the old list, stores, registers with the new one.
  void SetDIBImageList(TCustomDIBImageList* value);
  int DIBIndex() const { return FDIBIndex; }
  // Fires the change callback with lcChanged when the value changed.
  void SetDIBIndex(int value);

  TCustomDIBControl* Owner() const { return FOwner; }
  // Called by the owning control when its destruction begins: notices are ignored from then.
  void OwnerDestroying() { FOwnerDestroying = true; }

  // (link, index, kind): kind lcChanged or lcDeleted.
  std::function<void(TDIBImageLink& link, int index, int kind)> OnChange;

  bool GetImage(TMemoryDIB*& image) const;
  // The image to draw at a display scale (see TCustomDIBImageList::GetImageFor), or null.
  TMemoryDIB* GetImageFor(double scale) const;
  bool IsValid() const;

private:
  friend class TCustomDIBImageList;
  void Changed(int index);
  void Deleted(int index);
  void Moved(int from, int to);
  void Fire(int index, int kind);

  TCustomDIBImageList* FDIBImageList = nullptr;
  int FDIBIndex = -1;
  TCustomDIBControl* FOwner;
  bool FOwnerDestroying = false;
};
