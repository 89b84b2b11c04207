// The control base, the image control and the image container in a headless window: the
// construction rules, the paint cycle's pixels and dirty rectangles, mouse routing with
// capture and hover, and the click auto-repeat on a clock the test turns.
#include "SkinForm.h"

#include "skin/cDIBImage.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

class TNamedImage : public TDIBImage {
public:
  TNamedImage(TComponent* owner, const char* property) : TDIBImage(owner) {
    RegisterTemplateProperty(property, PublishedProperties());
  }
  const char* ClassName() const override { return "TNamedImage"; }
};

TEST(DIBControl, ConstructionParentsAndTemplateProperties) {
  EXPECT_EQ(ErrorOf([] { TDIBImage image(nullptr); }), "Owner cannot be nil");
  TForm bare(nullptr);
  EXPECT_EQ(ErrorOf([&] { new TDIBImage(&bare); }), "Parent must be a TDIBContainer");
  EXPECT_TRUE(bare.Components().empty()) << "a refused control leaves its owner";

  TSkinForm s;
  auto* image = new TDIBImage(&s.Form);
  EXPECT_EQ((TRect{image->Left(), image->Top(), image->Width(), image->Height()}),
            (TRect{0, 0, 32, 32}));
  EXPECT_EQ(image->Opacity(), 255);
  image->SetParent(&s.Form);
  EXPECT_EQ(image->Parent(), s.Container) << "a form stands in for its container";
  EXPECT_EQ(image->TemplateProperties(),
            (std::vector<std::string>{"Width", "Height", "Angle", "AutoSize", "Center", "Opacity",
                                      "Scale", "Stretch"}));
  EXPECT_EQ(ErrorOf([&] { new TNamedImage(&s.Form, "Colour"); }),
            "Class TNamedImage is trying to register Colour as a template property, and that "
            "property does not exist.");
  EXPECT_EQ(ErrorOf([&] { new TNamedImage(&s.Form, "DIBImageList"); }),
            "Attempting to template an invalid property type.");
  EXPECT_EQ(ErrorOf([&] { new TNamedImage(&s.Form, "OnMouseDown"); }),
            "Attempting to template an invalid property type.");
  EXPECT_EQ(ErrorOf([&] { new TNamedImage(&s.Form, "Hint"); }), "");
}

TEST(DIBContainer, PaintsTheCentredBackgroundAndBlendsControls) {
  TSkinForm s(298, 223);
  TMemoryDIB& back = s.Images.DIBImages().Add().StoredDIB();
  back.SetSize(300, 225);
  for (int y = 0; y < 225; ++y)
    for (int x = 0; x < 300; ++x)
      back.PixelAt(x, y) = {uint8_t(x), uint8_t(y), uint8_t(x ^ y), 255};
  AddImage(s.Images, 14, 14, 0x00FFFFFF, true);
  s.Images.DIBImages().Items(1).StoredDIB().PixelAt(0, 0) = {0, 0, 0, 255}; // keyed out
  s.Container->IndexImage().SetDIBIndex(0);
  auto* puck = new TDIBImage(&s.Form);
  puck->SetParent(s.Container);
  puck->SetDIBImageList(&s.Images);
  puck->IndexMain().SetDIBIndex(1);
  puck->SetBounds(200, 100, 15, 15);
  s.Show();

  const auto background = [](int x, int y) {
    return uint32_t(uint8_t(x ^ y)) << 16 | uint32_t(uint8_t(y)) << 8 | uint8_t(x);
  };
  EXPECT_EQ(s.Screen(0, 0), background(1, 1)) << "the background is drawn at (-1, -1)";
  EXPECT_EQ(s.Screen(297, 222), background(298, 223));
  EXPECT_EQ(s.Screen(201, 101), 0xFFFFFFu);
  EXPECT_EQ(s.Screen(200, 100), background(201, 101)) << "black is keyed out";
  EXPECT_EQ(s.Screen(214, 114), background(215, 115))
      << "the 14 x 14 image leaves the 15th column and row alone";

  s.Window().ClearCopies();
  puck->SetOpacity(175);
  s.Pump();
  ASSERT_EQ(s.Window().Copies(), (std::vector<TRect>{{200, 100, 215, 115}}))
      << "only the puck's rectangle is painted and copied";
  const auto blend = [](int top, int under) { return (175 * top + 80 * under + 255) / 256; };
  EXPECT_EQ(s.Screen(205, 105), uint32_t(blend(255, 206 ^ 106)) << 16 |
                                    uint32_t(blend(255, 106)) << 8 | uint32_t(blend(255, 206)));
}

TEST(DIBContainer, TilesFillsAndRepaintsOnlyOnChange) {
  TSkinForm s(120, 90);
  AddImage(s.Images, 40, 30, 0x000000FF);
  s.Images.DIBImages().Items(0).StoredDIB().PixelAt(5, 5) = {1, 2, 3, 255};
  s.Container->IndexImage().SetDIBIndex(0);
  s.Container->SetTileMethod(tmTile);
  s.Show();
  EXPECT_EQ(s.Screen(85, 65), 0x030201u);
  EXPECT_EQ(s.Screen(119, 89), 0xFF0000u);

  s.Container->IndexImage().SetDIBIndex(-1);
  s.Pump();
  EXPECT_EQ(s.Screen(60, 40), 0x302010u) << "without an image the container shows its Color";

  auto* image = new TDIBImage(&s.Form);
  image->SetParent(s.Container);
  s.Pump();
  const int paints = s.Window().PaintCount();
  image->SetOpacity(255);
  s.Pump();
  EXPECT_EQ(s.Window().PaintCount(), paints) << "the same opacity repaints nothing";
  image->SetOpacity(175);
  s.Pump();
  image->SetOpacity(255);
  s.Pump();
  EXPECT_EQ(s.Window().PaintCount(), paints + 2);
}

TEST(DIBContainer, AContainerAwayFromTheWindowsCornerPaintsAtItsPlace) {
  TSkinForm s(120, 90);
  s.Container->SetAlign(alNone);
  s.Container->SetBounds(20, 10, 50, 40);
  s.Show();
  EXPECT_EQ(s.Screen(20, 10), 0x302010u);
  EXPECT_EQ(s.Screen(69, 49), 0x302010u);
  EXPECT_EQ(s.Screen(19, 10), 0u);
  EXPECT_EQ(s.Screen(70, 49), 0u);
  EXPECT_EQ(s.Window().Copies(), (std::vector<TRect>{{20, 10, 70, 50}}));
}

TEST(DIBContainer, TheBackgroundComesBackWhereverAControlOrAHookDrew) {
  TSkinForm s(120, 90);
  AddImage(s.Images, 20, 20, 0x00FFFFFF);
  auto* image = new TDIBImage(&s.Form);
  image->SetParent(s.Container);
  image->SetDIBImageList(&s.Images);
  image->IndexMain().SetDIBIndex(0);
  image->SetBounds(10, 10, 20, 20);
  bool mark = false, declare = false;
  s.Container->AfterPaint = [&](TObject*, TAbstractSuperDIB& buffer) {
    if (mark)
      buffer.FillRect(0x000000FF, 60, 60, 10, 10);
    if (declare)
      s.Container->HookDrewOnly(mark ? TRect{60, 60, 70, 70} : TRect{});
  };
  s.Show();
  const auto repaint = [&] {
    s.Container->Invalidate();
    s.Pump();
  };
  EXPECT_EQ(s.Screen(15, 15), 0xFFFFFFu);
  image->SetBounds(40, 10, 20, 20);
  s.Pump();
  repaint();
  EXPECT_EQ(s.Screen(15, 15), 0x302010u) << "no trail where the control was";
  EXPECT_EQ(s.Screen(45, 15), 0xFFFFFFu);

  for (bool declared : {false, true}) {
    declare = declared;
    mark = true;
    repaint();
    EXPECT_EQ(s.Screen(65, 65), 0xFF0000u);
    mark = false;
    s.Container->InvalidateRect({0, 0, 5, 5}); // the hook's drawing lies outside this repaint
    s.Pump();
    repaint();
    EXPECT_EQ(s.Screen(65, 65), 0x302010u) << (declared ? "declared" : "undeclared");
  }
  s.Container->Color = 0x00405060;
  repaint();
  EXPECT_EQ(s.Screen(100, 80), 0x605040u) << "a new colour is painted everywhere";
}

struct TMouseLog {
  std::vector<std::string> Events;
  void Attach(TCustomDIBControl& c, const std::string& name) {
    c.OnMouseDown = [=, this](TObject*, TMouseButton, TShiftState, int x, int y) {
      Events.push_back(name + " down " + std::to_string(x) + "," + std::to_string(y));
    };
    c.OnMouseMove = [=, this](TObject*, TShiftState, int x, int y) {
      Events.push_back(name + " move " + std::to_string(x) + "," + std::to_string(y));
    };
    c.OnMouseUp = [=, this](TObject*, TMouseButton, TShiftState, int x, int y) {
      Events.push_back(name + " up " + std::to_string(x) + "," + std::to_string(y));
    };
    c.OnMouseEnter = [=, this](TObject*) { Events.push_back(name + " enter"); };
    c.OnMouseLeave = [=, this](TObject*) { Events.push_back(name + " leave"); };
  }
};

TEST(DIBControl, CaptureHoverAndAnImagelessControlOnTop) {
  TSkinForm s;
  AddImage(s.Images, 10, 10, 0x00FFFFFF);
  auto* below = new TDIBImage(&s.Form);
  below->SetParent(s.Container);
  below->SetDIBImageList(&s.Images);
  below->IndexMain().SetDIBIndex(0);
  below->SetBounds(10, 10, 10, 10);
  auto* pad = new TDIBImage(&s.Form);
  pad->SetParent(s.Container);
  pad->SetBounds(10, 10, 40, 40);
  TMouseLog log;
  log.Attach(*below, "below");
  log.Attach(*pad, "pad");
  s.Show();
  EXPECT_EQ(s.Screen(12, 12), 0xFFFFFFu) << "the pad draws nothing";

  s.Mouse(TWindowMouseKind::Move, 12, 12);
  s.Mouse(TWindowMouseKind::Down, 12, 12, sfLeft);
  s.Mouse(TWindowMouseKind::Move, 80, -5, sfLeft);
  EXPECT_TRUE(pad->Hovered()) << "a leave during the capture is deferred";
  s.Mouse(TWindowMouseKind::Up, 80, -5, 0);
  s.Mouse(TWindowMouseKind::Move, 81, -5);
  EXPECT_EQ(log.Events,
            (std::vector<std::string>{"pad enter", "pad move 2,2", "pad down 2,2",
                                      "pad move 70,-15", "pad up 70,-15", "pad leave"}));
  EXPECT_FALSE(pad->Hovered());
  EXPECT_FALSE(pad->MouseCapture());
}

TEST(DIBControl, AutoRepeatRedeliversThePressAtTheLatestPoint) {
  TSkinForm s;
  auto* button = new TDIBImage(&s.Form);
  button->SetParent(s.Container);
  button->SetBounds(0, 0, 50, 50);
  button->AutoRepeat = true;
  button->AutoRepeatInterval = 50;
  std::vector<std::string> presses;
  button->OnMouseDown = [&](TObject*, TMouseButton, TShiftState, int x, int y) {
    presses.push_back(std::to_string(s.Now) + "@" + std::to_string(x) + "," + std::to_string(y));
  };
  s.Show();
  s.Mouse(TWindowMouseKind::Down, 5, 5, sfLeft);
  s.Now += 30;
  s.Pump();
  s.Now += 20;
  s.Pump();
  s.Mouse(TWindowMouseKind::Move, 7, 40, sfLeft);
  s.Now += 50;
  s.Pump();
  s.Mouse(TWindowMouseKind::Up, 7, 40, 0);
  s.Now += 200;
  s.Pump();
  EXPECT_EQ(presses, (std::vector<std::string>{"1000@5,5", "1050@5,5", "1100@7,40"}));
  EXPECT_FALSE(button->RepeatTimer().Running());
}

TEST(DIBTimer, AWindowWithoutTimersLeftRefuses) {
  TSkinForm s;
  auto* control = new TDIBImage(&s.Form);
  control->SetParent(s.Container);
  s.Show();
  std::vector<TDIBTimer*> timers;
  const auto start = [&] {
    auto* t = new TDIBTimer(control);
    t->SetOnTimer([](TObject*) {});
    timers.push_back(t);
    t->SetEnabled(true);
  };
  for (size_t i = 0; i < TWindowTimers::kMaxTimers; ++i)
    start();
  EXPECT_EQ(ErrorOf(start), "Nicht genügend Timer verfügbar");
  EXPECT_FALSE(timers.back()->Enabled());
  EXPECT_FALSE(timers.back()->Running());
}

} // namespace
