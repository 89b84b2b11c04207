#include "platform/PictureLoader.h"

#ifdef ZINTRAX_HAVE_JPEG

#include <csetjmp>
#include <cstdio>
#include <jpeglib.h>

namespace {

struct TJpegError {
  jpeg_error_mgr Manager;
  std::jmp_buf Jump;
  char Message[JMSG_LENGTH_MAX];
};

void ErrorExit(j_common_ptr cinfo) {
  auto* error = reinterpret_cast<TJpegError*>(cinfo->err);
  (*cinfo->err->format_message)(cinfo, error->Message);
  std::longjmp(error->Jump, 1);
}

void IgnoreMessage(j_common_ptr) {}

// libjpeg reports errors by a long jump back here; nothing in this frame has a destructor,
// and the picture lives in the caller's frame.
bool Decode(const uint8_t* data, size_t size, TPicture* picture, TJpegError* error) {
  jpeg_decompress_struct cinfo;
  cinfo.err = jpeg_std_error(&error->Manager);
  error->Manager.error_exit = ErrorExit;
  error->Manager.output_message = IgnoreMessage;
  if (setjmp(error->Jump)) {
    jpeg_destroy_decompress(&cinfo);
    return false;
  }
  jpeg_create_decompress(&cinfo);
  jpeg_mem_src(&cinfo, data, static_cast<unsigned long>(size));
  jpeg_read_header(&cinfo, TRUE);
  if (cinfo.image_width > unsigned(kMaxPictureSide) ||
      cinfo.image_height > unsigned(kMaxPictureSide) ||
      uint64_t(cinfo.image_width) * cinfo.image_height > kMaxPicturePixels) {
    std::snprintf(error->Message, sizeof error->Message, "picture too large");
    jpeg_destroy_decompress(&cinfo);
    return false;
  }
  cinfo.out_color_space = JCS_RGB;
  jpeg_start_decompress(&cinfo);
  const unsigned width = cinfo.output_width, height = cinfo.output_height;
  try {
    picture->Pixels.assign(size_t(width) * height * 4, 255);
  } catch (...) {
    std::snprintf(error->Message, sizeof error->Message, "out of memory");
    jpeg_destroy_decompress(&cinfo);
    return false;
  }
  picture->Width = int(width);
  picture->Height = int(height);
  JSAMPARRAY row =
      (*cinfo.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&cinfo), JPOOL_IMAGE, width * 3, 1);
  while (cinfo.output_scanline < height) {
    const unsigned y = cinfo.output_scanline;
    if (jpeg_read_scanlines(&cinfo, row, 1) != 1)
      break;
    uint8_t* dst = picture->Pixels.data() + size_t(height - 1 - y) * width * 4;
    for (unsigned x = 0; x < width; ++x, dst += 4) {
      dst[0] = row[0][3 * x + 2];
      dst[1] = row[0][3 * x + 1];
      dst[2] = row[0][3 * x];
    }
  }
  jpeg_finish_decompress(&cinfo);
  jpeg_destroy_decompress(&cinfo);
  return true;
}

} // namespace

bool JPEGSupported() {
  return true;
}

TPicture DecodeJPEG(const uint8_t* data, size_t size) {
  TPicture picture;
  TJpegError error{};
  if (!Decode(data, size, &picture, &error))
    throw EPictureError(std::string("Bad JPEG file: ") + error.Message);
  return picture;
}

#else

bool JPEGSupported() {
  return false;
}

TPicture DecodeJPEG(const uint8_t*, size_t) {
  throw EPictureError("JPEG pictures are not supported by this build (no libjpeg)");
}

#endif
