// zintrax-host's editor commands with the built Zintrax.so: snapshot starts its own Xvfb and
// writes the editor's picture; edit, on a display the test provides, reports every parameter
// change and, when interrupted, the arguments that render the same settings.
#include "HostRun.h"
#include "hosting/Xvfb.h"

#include <cairo.h>

#include <vector>

namespace {

using namespace hosttest;
using ::testing::HasSubstr;

TEST(HostEditor, SnapshotPicturesTheEditorOfEachProgram) {
  TempDir dir;
  std::vector<std::vector<uint8_t>> pictures;
  for (const char* program : {"on stage", "encore"}) {
    const Result shot =
        RunHost(dir, {"snapshot", "--program", program, "--out", "editor.png"}, {}, "-u DISPLAY");
    ASSERT_EQ(shot.status, 0) << shot.err;
    EXPECT_THAT(shot.err, HasSubstr("298 x 223"));
    cairo_surface_t* png = cairo_image_surface_create_from_png((dir / "editor.png").c_str());
    ASSERT_EQ(cairo_surface_status(png), CAIRO_STATUS_SUCCESS);
    EXPECT_EQ(cairo_image_surface_get_width(png), 298);
    EXPECT_EQ(cairo_image_surface_get_height(png), 223);
    const uint8_t* data = cairo_image_surface_get_data(png);
    pictures.emplace_back(data, data + size_t(cairo_image_surface_get_stride(png)) * 223);
    cairo_surface_destroy(png);
  }
  EXPECT_TRUE(pictures[0] != pictures[1]) << "the knobs and the puck show the program";
  EXPECT_EQ(dir.Files(), (std::vector<std::string>{"editor.png"}));

  const Result none =
      RunHost(dir, {"snapshot", "--plugin", FAKE_PLUGIN_PATH, "--out", "f.png"}, {}, "-u DISPLAY");
  EXPECT_EQ(none.status, 1);
  EXPECT_THAT(none.err, HasSubstr("has no editor"));
  EXPECT_EQ(RunHost(dir, {"snapshot", "--out", "picture.jpg"}).status, 2);
}

TEST(HostEditor, EditReportsChangesAndHowToRenderThem) {
  TempDir dir;
  zhost::Xvfb display;
  const Result edit =
      RunHost(dir, {"edit", "--program", "encore"}, {}, "timeout --preserve-status -s INT 2");
  EXPECT_EQ(edit.status, 0) << edit.err;
  EXPECT_THAT(edit.out, HasSubstr("Distance = 299.97 cm\n"))
      << "opening on encore puts the Distance on the knob's grid";
  EXPECT_THAT(edit.out, HasSubstr("zintrax-host render --param Distance=299.970001220703 "
                                  "--param Feeding=2 --param X-Axis=0.100000001490116 "
                                  "--param Y-Axis=0.200000002980232 --out OUT.wav"));
}

} // namespace
