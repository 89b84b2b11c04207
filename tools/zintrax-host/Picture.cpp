#include "Picture.h"

#include "hosting/Errors.h"

#include <cairo.h>

#include <algorithm>
#include <filesystem>

namespace zhost {

void WritePicture(const std::string& path, int width, int height,
                  const std::vector<uint32_t>& pixels) {
  cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height);
  cairo_surface_flush(surface);
  unsigned char* data = cairo_image_surface_get_data(surface);
  const int stride = cairo_image_surface_get_stride(surface);
  for (int y = 0; y < height; ++y)
    std::copy_n(&pixels[size_t(y) * size_t(width)], width,
                reinterpret_cast<uint32_t*>(data + size_t(y) * size_t(stride)));
  cairo_surface_mark_dirty(surface);
  const std::string aside = path + ".part";
  const cairo_status_t status = cairo_surface_write_to_png(surface, aside.c_str());
  cairo_surface_destroy(surface);
  std::error_code error;
  if (status != CAIRO_STATUS_SUCCESS) {
    std::filesystem::remove(aside, error);
    throw HostError(path + ": cannot write the picture (" + cairo_status_to_string(status) + ")");
  }
  std::filesystem::rename(aside, path, error);
  if (error) {
    std::filesystem::remove(aside, error);
    throw HostError(path + ": cannot write the picture");
  }
}

} // namespace zhost
