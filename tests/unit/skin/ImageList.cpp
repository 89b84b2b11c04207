// Image list items, GetImage and its scratch image, links and their notifications, template
// items, retrieval from files and path translation.
#include "skin/cDIBImageList.h"
#include "skin/cDIBPictureFiles.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

struct TNotice {
  int Index;
  int Kind;
  friend bool operator==(const TNotice&, const TNotice&) = default;
};

struct TRecordingLink {
  TDIBImageLink Link;
  std::vector<TNotice> Notices;
  TRecordingLink() {
    Link.OnChange = [this](TDIBImageLink&, int index, int kind) {
      Notices.push_back({index, kind});
    };
  }
};

// A list with three items of sizes 1x1, 2x2 and 3x3.
struct ImageListLinks : ::testing::Test {
  TDIBImageList List;
  void SetUp() override {
    for (int i = 0; i < 3; ++i)
      List.DIBImages().Add().StoredDIB().SetSize(i + 1, i + 1);
  }
};

TEST_F(ImageListLinks, RegisteringFiresOnceForAValidIndex) {
  TRecordingLink a, b;
  a.Link.SetDIBIndex(1);
  b.Link.SetDIBIndex(7);
  a.Notices.clear();
  b.Notices.clear();
  a.Link.SetDIBImageList(&List);
  b.Link.SetDIBImageList(&List);
  EXPECT_EQ(a.Notices, (std::vector<TNotice>{{1, lcChanged}}));
  EXPECT_TRUE(b.Notices.empty());
  EXPECT_EQ(List.LinkCount(), 2);
  a.Link.SetDIBImageList(&List);
  EXPECT_EQ(List.LinkCount(), 2) << "a link is registered once";
}

TEST_F(ImageListLinks, SettingTheIndexFiresOnlyOnChange) {
  TRecordingLink a;
  a.Link.SetDIBIndex(2);
  a.Link.SetDIBIndex(2);
  EXPECT_EQ(a.Notices, (std::vector<TNotice>{{2, lcChanged}}));
}

TEST_F(ImageListLinks, ItemChangeReachesOnlyLinksAtThatIndex) {
  TRecordingLink a, b;
  a.Link.SetDIBIndex(0);
  b.Link.SetDIBIndex(2);
  a.Link.SetDIBImageList(&List);
  b.Link.SetDIBImageList(&List);
  a.Notices.clear();
  b.Notices.clear();
  List.DIBImages().Items(2).StoredDIB().SetOpacity(100);
  EXPECT_TRUE(a.Notices.empty());
  EXPECT_EQ(b.Notices, (std::vector<TNotice>{{2, lcChanged}}));
}

TEST_F(ImageListLinks, DeletingAnItemRenumbersAndClearsLinks) {
  TRecordingLink atZero, atOne, atTwo;
  atZero.Link.SetDIBIndex(0);
  atOne.Link.SetDIBIndex(1);
  atTwo.Link.SetDIBIndex(2);
  for (auto* l : {&atZero, &atOne, &atTwo}) {
    l->Link.SetDIBImageList(&List);
    l->Notices.clear();
  }
  int indexSeenInCallback = 99;
  atZero.Link.OnChange = [&](TDIBImageLink& link, int index, int kind) {
    atZero.Notices.push_back({index, kind});
    indexSeenInCallback = link.DIBIndex();
  };
  List.DIBImages().Delete(0);
  EXPECT_EQ(atZero.Notices, (std::vector<TNotice>{{0, lcDeleted}}));
  EXPECT_EQ(indexSeenInCallback, 0) << "the callback runs before the index is cleared";
  EXPECT_EQ(atZero.Link.DIBIndex(), -1);
  EXPECT_EQ(atOne.Link.DIBIndex(), 0);
  EXPECT_EQ(atTwo.Link.DIBIndex(), 1);
  EXPECT_TRUE(atOne.Notices.empty());
  EXPECT_TRUE(atTwo.Notices.empty());
}

TEST_F(ImageListLinks, LinksOfAControlBeingDestroyedIgnoreNotices) {
  TRecordingLink a;
  a.Link.SetDIBIndex(1);
  a.Link.SetDIBImageList(&List);
  a.Notices.clear();
  a.Link.OwnerDestroying();
  List.DIBImages().Items(1).StoredDIB().SetOpacity(9);
  List.DIBImages().Delete(0);
  EXPECT_TRUE(a.Notices.empty());
  EXPECT_EQ(a.Link.DIBIndex(), 1);
}

TEST_F(ImageListLinks, MovingAnItemMovesTheLinksSilently) {
  List.DIBImages().Add();
  List.DIBImages().Add(); // five items
  std::vector<std::unique_ptr<TRecordingLink>> links;
  for (int i = 0; i < 5; ++i) {
    links.push_back(std::make_unique<TRecordingLink>());
    links[i]->Link.SetDIBIndex(i);
    links[i]->Link.SetDIBImageList(&List);
    links[i]->Notices.clear();
  }
  TDIBImagesItem& moved = List.DIBImages().Items(1);
  moved.SetIndex(3);
  EXPECT_EQ(moved.Index(), 3);
  std::vector<int> after;
  for (auto& l : links)
    after.push_back(l->Link.DIBIndex());
  EXPECT_EQ(after, (std::vector<int>{0, 3, 1, 2, 4}));
  List.DIBImages().Items(3).SetIndex(0);
  after.clear();
  for (auto& l : links)
    after.push_back(l->Link.DIBIndex());
  EXPECT_EQ(after, (std::vector<int>{1, 0, 2, 3, 4}));
  for (auto& l : links)
    EXPECT_TRUE(l->Notices.empty());
}

TEST_F(ImageListLinks, GetImageHandsOutOneSharedView) {
  TMemoryDIB* first = nullptr;
  TMemoryDIB* second = nullptr;
  ASSERT_TRUE(List.GetImage(1, first));
  EXPECT_EQ(first->Width(), 2);
  EXPECT_EQ(first->Pixels(), List.DIBImages().Items(1).StoredDIB().Pixels());
  EXPECT_FALSE(first->OwnsBuffer());
  ASSERT_TRUE(List.GetImage(2, second));
  EXPECT_EQ(first, second);
  EXPECT_EQ(second->Pixels(), List.DIBImages().Items(2).StoredDIB().Pixels());
  EXPECT_EQ(second->Width(), 3);
  TMemoryDIB* none = nullptr;
  EXPECT_FALSE(List.GetImage(-1, none));
  EXPECT_FALSE(List.GetImage(3, none));
  EXPECT_EQ(none, nullptr);
}

TEST_F(ImageListLinks, LinkGetImageAndIsValid) {
  TDIBImageLink link;
  TMemoryDIB* image = nullptr;
  EXPECT_FALSE(link.GetImage(image));
  EXPECT_FALSE(link.IsValid());
  link.SetDIBImageList(&List);
  EXPECT_FALSE(link.IsValid()) << "index -1";
  link.SetDIBIndex(2);
  EXPECT_TRUE(link.IsValid());
  ASSERT_TRUE(link.GetImage(image));
  EXPECT_EQ(image->Height(), 3);
}

TEST(ImageList, DestroyingListOrLinkDetachesTheOther) {
  TDIBImageLink outliving;
  {
    TDIBImageList list;
    list.DIBImages().Add();
    outliving.SetDIBImageList(&list);
    {
      TDIBImageLink shortLived;
      shortLived.SetDIBImageList(&list);
      EXPECT_EQ(list.LinkCount(), 2);
    }
    EXPECT_EQ(list.LinkCount(), 1);
  }
  EXPECT_EQ(outliving.DIBImageList(), nullptr);
}

TEST(ImageList, NoticesSurviveALinkThatLeavesDuringACallback) {
  TDIBImageList list;
  list.DIBImages().Add();
  TRecordingLink first;
  auto second = std::make_unique<TRecordingLink>();
  first.Link.SetDIBIndex(0);
  second->Link.SetDIBIndex(0);
  first.Link.SetDIBImageList(&list);
  second->Link.SetDIBImageList(&list);
  first.Link.OnChange = [&](TDIBImageLink&, int, int) { second.reset(); };
  list.DIBImages().Items(0).StoredDIB().SetOpacity(1);
  EXPECT_EQ(list.LinkCount(), 1);
}

TEST(ImageList, FindOrAddTemplateKeysByNumberAndName) {
  TDIBImageList list;
  TDIBImagesItem& a = list.DIBImages().FindOrAddTemplate("knob.bmp", 3);
  EXPECT_EQ(a.TemplateFilename, "3:knob.bmp");
  EXPECT_EQ(&list.DIBImages().FindOrAddTemplate("knob.bmp", 3), &a);
  EXPECT_NE(&list.DIBImages().FindOrAddTemplate("knob.bmp", 4), &a);
  EXPECT_EQ(list.DIBImages().Count(), 2);
}

TEST(ImageList, RetrievalModeControlsStoredData) {
  TDIBImageList list;
  TDIBImagesItem& item = list.DIBImages().Add();
  EXPECT_EQ(item.StoredDIB().Width(), 1);
  EXPECT_TRUE(item.StoredDIB().StoreData);
  item.SetImageRetrieval(irLoadOnDemand);
  EXPECT_FALSE(item.StoredDIB().StoreData);
  EXPECT_FALSE(item.Retrieved());
  item.DIB(); // no file named: stays unretrieved
  EXPECT_FALSE(item.Retrieved());
  item.SetImageRetrieval(irInternal);
  item.DIB();
  EXPECT_TRUE(item.Retrieved());
  // An image copied in takes its pixels, not its store-data flag.
  TMemoryDIB fromFile(2, 3);
  fromFile.StoreData = false;
  item.SetDIB(fromFile);
  EXPECT_EQ(item.StoredDIB().Height(), 3);
  EXPECT_TRUE(item.StoredDIB().StoreData);
}

TEST(ImageList, PathTranslationReplacesTheDirectory) {
  TDIBImageList list;
  TDIBImagesItem& item = list.DIBImages().Add();
  EXPECT_EQ(item.TranslateImagePath("C:\\art\\knob.bmp"), "C:\\art\\knob.bmp");
  std::string seen;
  item.OnTranslateImagePath = [&](TDIBImagesItem&, std::string& path) {
    seen = path;
    path = "/skins";
  };
  EXPECT_EQ(item.TranslateImagePath("C:\\art\\knob.bmp"), "/skins/knob.bmp");
  EXPECT_EQ(seen, "C:\\art\\");
  item.OnTranslateImagePath = [](TDIBImagesItem&, std::string& path) { path = "/skins/"; };
  EXPECT_EQ(item.TranslateImagePath("art/knob.bmp"), "/skins/knob.bmp");
  item.OnTranslateImagePath = [](TDIBImagesItem&, std::string& path) { path.clear(); };
  EXPECT_EQ(item.TranslateImagePath("art/knob.bmp"), "knob.bmp");
  EXPECT_EQ(item.TranslateImagePath(""), "");
}

// Writes a bottom-up BMP with the given bit depth (24 or 32) and pixel function.
void WriteBMP(const std::string& path, int w, int h, int bits,
              uint8_t (*value)(int x, int y, int channel)) {
  const int stride = (w * bits + 31) / 32 * 4;
  std::vector<uint8_t> f(54 + size_t(stride) * h, 0);
  auto put32 = [&](size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i)
      f[at + i] = uint8_t(v >> (8 * i));
  };
  f[0] = 'B';
  f[1] = 'M';
  put32(2, uint32_t(f.size()));
  put32(10, 54);
  put32(14, 40);
  put32(18, uint32_t(w));
  put32(22, uint32_t(h));
  f[26] = 1;
  f[28] = uint8_t(bits);
  for (int row = 0; row < h; ++row) // file row 0 is the bottom row
    for (int x = 0; x < w; ++x)
      for (int c = 0; c < bits / 8; ++c)
        f[54 + size_t(row) * stride + size_t(x) * (bits / 8) + c] = value(x, h - 1 - row, c);
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<char*>(f.data()), long(f.size()));
}

struct TTempDir {
  std::filesystem::path Path;
  TTempDir() {
    char name[] = "/tmp/zintrax-imagelist-XXXXXX";
    Path = mkdtemp(name);
  }
  ~TTempDir() { std::filesystem::remove_all(Path); }
};

TEST(ImageList, RetrievesImageAndMaskFromFilesInOneChange) {
  TTempDir dir;
  WriteBMP(dir.Path / "face.bmp", 4, 2, 24,
           [](int x, int y, int c) { return uint8_t(10 * x + 100 * y + c); });
  WriteBMP(dir.Path / "mask.bmp", 2, 1, 24, [](int x, int, int) { return uint8_t(x ? 200 : 50); });
  TDIBImageList list;
  TDIBImagesItem& item = list.DIBImages().Add();
  item.SetImageRetrieval(irLoadOnDemand);
  item.StoredDIB().ImageFilename = "C:\\Artwork\\face.bmp";
  item.StoredDIB().MaskFilename = "C:\\Artwork\\mask.bmp";
  item.OnTranslateImagePath = [&](TDIBImagesItem&, std::string& path) { path = dir.Path.string(); };
  TRecordingLink link;
  link.Link.SetDIBIndex(0);
  link.Link.SetDIBImageList(&list);
  link.Notices.clear();

  TMemoryDIB& image = item.DIB();
  EXPECT_TRUE(item.Retrieved());
  EXPECT_EQ(link.Notices, (std::vector<TNotice>{{0, lcChanged}}));
  ASSERT_EQ(image.Width(), 4);
  ASSERT_EQ(image.Height(), 2);
  EXPECT_TRUE(image.Masked());
  const TPixel32 topRight = image.PixelAt(3, 0);
  EXPECT_EQ(topRight.B, 30);
  EXPECT_EQ(topRight.G, 31);
  EXPECT_EQ(topRight.R, 32);
  EXPECT_EQ(topRight.A, 200) << "mask stretched: right half from the mask's right pixel";
  EXPECT_EQ(image.PixelAt(1, 1).A, 50);
  EXPECT_EQ(image.PixelAt(1, 1).B, 110);
  item.DIB();
  EXPECT_EQ(link.Notices.size(), 1u) << "retrieved once";
}

TEST(ImageList, LoadOnStartItemsAreRetrievedWhenTheListIsLoaded) {
  TTempDir dir;
  WriteBMP(dir.Path / "glyph.bmp", 3, 3, 32,
           [](int, int, int c) { return uint8_t(c == 3 ? 7 : 1); });
  TDIBImageList list;
  TDIBImagesItem& onStart = list.DIBImages().Add();
  onStart.SetImageRetrieval(irLoadOnStart);
  onStart.StoredDIB().ImageFilename = (dir.Path / "glyph.bmp").string();
  TDIBImagesItem& onDemand = list.DIBImages().Add();
  onDemand.SetImageRetrieval(irLoadOnDemand);
  onDemand.StoredDIB().ImageFilename = (dir.Path / "glyph.bmp").string();
  list.Loaded();
  EXPECT_TRUE(onStart.Retrieved());
  EXPECT_FALSE(onDemand.Retrieved());
  EXPECT_EQ(onStart.StoredDIB().Width(), 3);
  EXPECT_TRUE(onStart.StoredDIB().Masked()) << "a 32-bit bitmap brings its alpha";
  EXPECT_EQ(onStart.StoredDIB().PixelAt(0, 0).A, 7);
}

TEST(ImageList, MissingFilesAndMasksWithoutImagesAreErrors) {
  TDIBImageList list;
  TDIBImagesItem& item = list.DIBImages().Add();
  item.SetImageRetrieval(irLoadOnDemand);
  item.StoredDIB().ImageFilename = "/nonexistent/zintrax/face.bmp";
  EXPECT_THROW(item.DIB(), EDIBError);
  EXPECT_FALSE(item.Retrieved());
  EXPECT_FALSE(item.StoredDIB().Updating()) << "the update is closed after a failure";

  TMemoryDIB empty;
  try {
    LoadDIBMaskFromFile(empty, "/nonexistent/mask.bmp");
    FAIL();
  } catch (const EDIBError& e) {
    EXPECT_STREQ(e.what(), "You cannot import a mask until you have an image.");
  }
}

} // namespace
