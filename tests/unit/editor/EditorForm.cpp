// The editor form as its layout builds it: the component tree with its positions and values,
// the three stored images (and that they are what the kept PNGs show), and the knob handlers'
// arithmetic against a module of four parameters.
#include "editor/EditorArtwork.h"
#include "editor/VSTEditor.h"
#include "framework/DVSTModule.h"
#include "skin/cDIBCompressor.h"
#include "skin/cDIBData.h"
#include "skin/cDIBPictureFiles.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

TEST(EditorForm, TheLayout) {
  TVSTEditorForm form;
  EXPECT_EQ(form.Name, "VSTEditorForm");
  EXPECT_EQ((std::vector<int>{form.Left(), form.Top(), form.ClientWidth(), form.ClientHeight()}),
            (std::vector<int>{500, 238, 298, 223}));
  EXPECT_EQ(form.BorderStyle, bsNone);
  EXPECT_EQ(form.Caption, "Zintrax");
  EXPECT_EQ(form.EffectModule, nullptr);
  std::vector<std::string> components;
  for (TComponent* c : form.Components())
    components.push_back(c->Name + ":" + c->ClassName());
  EXPECT_EQ(components,
            (std::vector<std::string>{"ZinGround:TDIBImageContainer", "Knob:TDIBImage",
                                      "DistanceDial:TDIBDial", "KnobRange:TDIBImage",
                                      "DIBImageList:TDIBImageList", "FeedDial:TDIBDial"}));
  std::vector<std::string> zOrder;
  for (TControl* c : form.ZinGround->Controls())
    zOrder.push_back(c->Name + " " + std::to_string(c->Left()) + "," + std::to_string(c->Top()) +
                     " " + std::to_string(c->Width()) + "x" + std::to_string(c->Height()));
  EXPECT_EQ(zOrder,
            (std::vector<std::string>{"Knob 192,104 15x15", "DistanceDial 14,83 71x68",
                                      "KnobRange 152,77 142x142", "FeedDial 63,145 71x68"}));
  for (TDIBDial* d : {form.DistanceDial, form.FeedDial}) {
    EXPECT_EQ(d->MouseControlStyle, mcsLinear);
    EXPECT_EQ(d->PointerRadius(), 24);
    EXPECT_EQ(d->PointerOpacities().Active(), 200);
    EXPECT_EQ((std::vector<int>{d->PointerAngles().Start(), d->PointerAngles().Range()}),
              (std::vector<int>{220, 280}));
  }
  EXPECT_EQ((std::vector<int>{form.DistanceDial->Max(), form.DistanceDial->Position(),
                              form.FeedDial->Max(), form.FeedDial->Position()}),
            (std::vector<int>{10000, 4999, 400, 1}));
  EXPECT_EQ(form.DistanceDial->VerticalPixelsPerPosition(), 0.035L);
  EXPECT_EQ(form.FeedDial->HorizontalPixelsPerPosition(), 3.5L);
  EXPECT_FALSE(form.KnobRange->IndexMain().IsValid()) << "the pad draws nothing";
  EXPECT_EQ(form.DIBSettings.DIBCompressor(), "{CABA9056-7349-43A4-B010-3764FBFAC230}");
}

TEST(EditorForm, TheStoredImagesAreTheKeptPictures) {
  TVSTEditorForm form;
  struct TExpected {
    const char* Name;
    int Width, Height;
    bool Transparent;
    TColor Colour;
    std::span<const uint8_t> Block;
    const char* Picture;
  };
  const TExpected expected[] = {
      {"Zintrax", 300, 225, false, 7644862, EditorBackgroundData(), "editor-background.png"},
      {"Knob", 14, 14, true, 0, EditorDotData(), "editor-dot.png"},
      {"KnobBG", 71, 68, true, 0, EditorKnobData(), "editor-knob.png"},
  };
  for (int i = 0; i < 3; ++i) {
    const TExpected& e = expected[i];
    TDIBImagesItem& item = form.DIBImageList->DIBImages().Items(i);
    const TMemoryDIB& image = item.DIB();
    EXPECT_EQ(item.DisplayName, e.Name);
    EXPECT_EQ((std::vector<int>{image.Width(), image.Height()}),
              (std::vector<int>{e.Width, e.Height}));
    EXPECT_EQ(image.Transparent(), e.Transparent);
    EXPECT_EQ(image.TransparentColor(), e.Colour) << e.Name;
    const TDIBRawForm raw = DecodeDIBData(e.Block.data(), e.Block.size());
    EXPECT_EQ(raw.Compressed, i == 2) << e.Name;
    if (raw.Compressed) {
      EXPECT_EQ(raw.RawLength, 19316u);
      EXPECT_EQ(raw.Identifier.ToString(), "{CABA9056-7349-43A4-B010-3764FBFAC230}");
    }
    TMemoryDIB picture;
    LoadDIBFromFile(picture, std::string(ZINTRAX_RESOURCES) + "/" + e.Picture);
    ASSERT_EQ(picture.ByteCount(), image.ByteCount());
    EXPECT_EQ(std::vector<uint8_t>(picture.Bytes(), picture.Bytes() + picture.ByteCount()),
              std::vector<uint8_t>(image.Bytes(), image.Bytes() + image.ByteCount()))
        << e.Picture << " and its stored data differ: pack it again";
  }
}

// Four parameters as the effect declares them, and the knobs and pad of an unembedded form.
class TFourParameters : public TVST2Module {
public:
  TFourParameters() {
    for (auto [min, max] : {std::pair{50.0f, 750.0f}, {1.0f, 5.0f}, {0.0f, 1.0f}, {0.0f, 1.0f}}) {
      TCustomVstParameterProperty& p = ParameterProperties().Add();
      p.Min = min;
      p.Max = max;
    }
    OnParameterChange = [this](TObject*, int32_t index, float) { Changes.push_back(index); };
  }
  std::vector<int32_t> Changes;
};

TEST(EditorForm, KnobsSetTheirParametersOnlyWhenTheValueChanges) {
  TFourParameters module;
  TVSTEditorForm form;
  form.EffectModule = &module.EditorParameters();
  form.DistanceDial->SetPosition(3571);
  EXPECT_EQ(module.GetParameterValue(0), 299.97f);
  form.DistanceDial->SetPosition(3571);
  form.FeedDial->SetPosition(50);
  EXPECT_EQ(module.GetParameterValue(1), 1.5f);
  form.FeedDial->SetPosition(50);
  EXPECT_EQ(module.Changes, (std::vector<int32_t>{0, 1})) << "an unchanged knob sets nothing";
  module.SetParameterValue(0, 401.0f);
  form.ShowParameters();
  EXPECT_EQ(form.DistanceDial->Position(), 5014);
  EXPECT_EQ(module.GetParameterValue(0), 401.0f) << "showing a value sets nothing";
}

} // namespace
