// The editor at a display scale, given the way each format's hosts give it (zintrax-host
// snapshot --scale: the VST 2.x vendor call, VST3's content scale, LV2's ui:scaleFactor): the
// same picture in every format, its background copied from the artwork drawn for that scale and,
// reduced to the scale of 1, close to the picture at 1.
#include "HostRun.h"

#include <cairo.h>

#include <cstdlib>
#include <memory>
#include <string>

namespace {

using namespace hosttest;
using ::testing::HasSubstr;

using Surface = std::unique_ptr<cairo_surface_t, decltype(&cairo_surface_destroy)>;

Surface Load(const std::string& path) {
  return {cairo_image_surface_create_from_png(path.c_str()), cairo_surface_destroy};
}

// Red, green and blue of a pixel (cairo's RGB24: 0x00RRGGBB in native order).
uint32_t Pixel(cairo_surface_t* s, int x, int y) {
  const uint8_t* row = cairo_image_surface_get_data(s) + y * cairo_image_surface_get_stride(s);
  return reinterpret_cast<const uint32_t*>(row)[x] & 0xFFFFFF;
}

Surface Snapshot(const TempDir& dir, const std::string& plugin, const char* scale,
                 const std::string& name) {
  std::vector<std::string> args = {"snapshot", plugin, "--out", name};
  if (scale)
    args.insert(args.end(), {"--scale", scale});
  const Result shot = RunHost(dir, args, {}, "-u DISPLAY");
  EXPECT_EQ(shot.status, 0) << shot.err;
  return Load(dir / name);
}

TEST(HostEditorScale, EveryFormatShowsTheArtworkOfTheHostsScale) {
  TempDir dir;
  Surface one = Snapshot(dir, ZINTRAX_PLUGIN_PATH, nullptr, "one.png");
  Surface two = Snapshot(dir, ZINTRAX_PLUGIN_PATH, "2", "two.png");
  ASSERT_EQ(cairo_image_surface_get_width(two.get()), 596);
  ASSERT_EQ(cairo_image_surface_get_height(two.get()), 446);
  for (const std::string& plugin :
       {std::string(ZINTRAX_LV2_BUNDLE), std::string(ZINTRAX_VST3_BUNDLE)}) {
    Surface other = Snapshot(dir, plugin, "2", "other.png");
    ASSERT_EQ(cairo_image_surface_get_width(other.get()), 596) << plugin;
    int differing = 0;
    for (int y = 0; y < 446; ++y)
      for (int x = 0; x < 596; ++x)
        differing += Pixel(other.get(), x, y) != Pixel(two.get(), x, y);
    EXPECT_EQ(differing, 0) << plugin;
  }
  Surface three = Snapshot(dir, ZINTRAX_PLUGIN_PATH, "2.9", "three.png");
  EXPECT_EQ(cairo_image_surface_get_width(three.get()), 894) << "2.9 is drawn at 3";

  // Above the controls the picture is the background of its scale, centred: a plain copy.
  Surface background = Load(ZINTRAX_RESOURCES "/editor-background@2x.png");
  for (int y = 0; y < 150; ++y)
    for (int x = 0; x < 596; ++x)
      ASSERT_EQ(Pixel(two.get(), x, y), Pixel(background.get(), x + 2, y + 2)) << x << ", " << y;

  // Everywhere, each 2 x 2 block averages to nearly the picture at 1.
  double total = 0;
  for (int y = 0; y < 223; ++y)
    for (int x = 0; x < 298; ++x)
      for (int shift : {0, 8, 16}) {
        int sum = 0;
        for (int dy = 0; dy < 2; ++dy)
          for (int dx = 0; dx < 2; ++dx)
            sum += int(Pixel(two.get(), 2 * x + dx, 2 * y + dy) >> shift & 0xFF);
        total += std::abs(sum / 4.0 - int(Pixel(one.get(), x, y) >> shift & 0xFF));
      }
  EXPECT_LT(total / (298 * 223 * 3), 12.0) << "the mean difference of a channel";
  EXPECT_EQ(RunHost(dir, {"snapshot", "--out", "x.png", "--scale", "9"}).status, 2);
}

} // namespace
