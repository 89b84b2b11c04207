// zintrax-dib: packs pictures into the skin toolkit's stored image data and inspects it.
#include "platform/PictureLoader.h"
#include "skin/DIBLZH.h"
#include "skin/cDIBData.h"
#include "skin/cDIBStandardCompressors.h"

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

const char* const kHelp =
    R"(Usage: zintrax-dib COMMAND ...

Commands:
  pack IN OUT.dat [--compressor rle|lzh|none]
      Reads the picture IN (PNG, BMP or JPEG) and writes its stored image data to OUT.dat,
      compressed with the given compressor when that makes it shorter (default: rle),
      raw otherwise. A picture with an alpha channel (PNG with alpha, 32-bit BMP) keeps
      its alpha; any other gets alpha 255.
  unpack IN.dat OUT.png
      Decodes the stored image data IN.dat (raw, or compressed by any registered
      compressor) and writes it as a PNG with alpha. Pixels that a short block does not
      hold are written as 0.
  info IN.dat
      Prints width, height, form, compressor and sizes of the stored image data.
  --help
      Shows this text.

An OUT.dat file holds exactly one "Data" block as an image stores it, nothing else:
  raw form:        width (2 bytes), height (2 bytes), then width x height x 4 bytes of
                   pixels blue, green, red, alpha, bottom row first (integers little-endian);
  compressed form: the 6 ASCII bytes "DIBCMP", the compressor's GUID (16 bytes: 32-bit,
                   16-bit, 16-bit little-endian, then 8 bytes), the length of the raw form
                   (4 bytes, little-endian), then the compressor's output for the raw form.
Compressors: rle = "Shuffle4 RLE" {CABA9056-7349-43A4-B010-3764FBFAC230},
             lzh = "DIB LZH"      {BC0C10FC-E045-41E7-A37C-B86AF21320B8}.

Exit status: 0 on success, 1 when a file cannot be read, written or decoded, 2 on a usage
error. Messages go to standard error.
)";

constexpr uint64_t kMaxInputBytes = uint64_t(1) << 30;

struct TUsageError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

std::vector<uint8_t> ReadFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary | std::ios::ate);
  if (!file)
    throw std::runtime_error("cannot open \"" + path + "\"");
  const std::streamoff size = file.tellg();
  if (size < 0 || uint64_t(size) > kMaxInputBytes)
    throw std::runtime_error("\"" + path + "\" is too large");
  std::vector<uint8_t> bytes(static_cast<size_t>(size));
  file.seekg(0);
  if (!file.read(reinterpret_cast<char*>(bytes.data()), size))
    throw std::runtime_error("cannot read \"" + path + "\"");
  return bytes;
}

void WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
  file.close();
  if (!file)
    throw std::runtime_error("cannot write \"" + path + "\"");
}

TAbstractDIBCompressor* CompressorByName(const std::string& name) {
  if (name == "none")
    return nullptr;
  if (name == "rle")
    return FindDIBCompressor(TRLEDIBCompressor::Identifier);
  if (name == "lzh")
    return FindDIBCompressor(TLZHDIBCompressor::Identifier);
  throw TUsageError("unknown compressor \"" + name + "\" (use rle, lzh or none)");
}

std::string DescribeCompressor(const TGUID& id) {
  const TAbstractDIBCompressor* c = FindDIBCompressor(id);
  std::string text = c ? c->Name() : std::string("unknown");
  text += ' ';
  text += id.ToString();
  return text;
}

int Pack(const std::vector<std::string>& args) {
  std::string compressorName = "rle";
  std::vector<std::string> files;
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--compressor") {
      if (i + 1 == args.size())
        throw TUsageError("--compressor needs a value");
      compressorName = args[++i];
    } else {
      files.push_back(args[i]);
    }
  }
  if (files.size() != 2)
    throw TUsageError("pack needs IN and OUT.dat");
  TAbstractDIBCompressor* compressor = CompressorByName(compressorName);
  const std::vector<uint8_t> input = ReadFile(files[0]);
  const TPicture picture = DecodePicture(input.data(), input.size());
  if (picture.Width > 0xFFFF || picture.Height > 0xFFFF)
    throw std::runtime_error("the picture is larger than 65535 pixels on a side");
  const size_t rawLength = picture.Pixels.size() + 4;
  std::vector<uint8_t> block = EncodeDIBData(uint16_t(picture.Width), uint16_t(picture.Height),
                                             picture.Pixels.data(), compressor);
  // The compressed form carries a 26-byte header: keep it only when the block gets shorter.
  const bool compressed = block.size() < rawLength;
  if (!compressed && block.size() != rawLength)
    block = EncodeDIBData(uint16_t(picture.Width), uint16_t(picture.Height), picture.Pixels.data(),
                          nullptr);
  WriteFile(files[1], block);
  std::printf("%d x %d, raw %zu bytes, stored %s in %zu bytes\n", picture.Width, picture.Height,
              rawLength, compressed ? "compressed" : "raw", block.size());
  return 0;
}

int Unpack(const std::vector<std::string>& args) {
  if (args.size() != 2)
    throw TUsageError("unpack needs IN.dat and OUT.png");
  const std::vector<uint8_t> block = ReadFile(args[0]);
  if (block.empty())
    throw std::runtime_error("\"" + args[0] + "\" is empty: it holds no image");
  const TDIBRawForm form = DecodeDIBData(block.data(), block.size());
  const int width = form.Width ? form.Width : 1, height = form.Height ? form.Height : 1;
  std::vector<uint8_t> pixels(size_t(width) * size_t(height) * 4, 0);
  std::memcpy(pixels.data(), form.Pixels.data(), std::min(form.Pixels.size(), pixels.size()));
  SavePNGFile(args[1], width, height, pixels.data());
  return 0;
}

int Info(const std::vector<std::string>& args) {
  if (args.size() != 1)
    throw TUsageError("info needs IN.dat");
  const std::vector<uint8_t> block = ReadFile(args[0]);
  if (block.empty())
    throw std::runtime_error("\"" + args[0] + "\" is empty: it holds no image");
  const TDIBRawForm form = DecodeDIBData(block.data(), block.size());
  std::printf("width: %u\nheight: %u\n", form.Width, form.Height);
  std::printf("form: %s\n", form.Compressed ? "compressed" : "raw");
  std::printf("compressor: %s\n",
              form.Compressed ? DescribeCompressor(form.Identifier).c_str() : "none");
  std::printf("block size: %zu bytes\n", block.size());
  if (form.Compressed)
    std::printf("raw length: %u bytes (expanded %zu)\n", form.RawLength, form.ExpandedLength);
  std::printf("pixel bytes: %zu of %llu\n", form.Pixels.size(),
              static_cast<unsigned long long>(form.DeclaredPixelBytes()));
  return 0;
}

} // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> all(argv + 1, argv + argc);
  if (all.empty()) {
    std::fputs(kHelp, stderr);
    return 2;
  }
  if (all[0] == "--help" || all[0] == "-h" || all[0] == "help") {
    std::fputs(kHelp, stdout);
    return 0;
  }
  const std::vector<std::string> args(all.begin() + 1, all.end());
  try {
    if (all[0] == "pack")
      return Pack(args);
    if (all[0] == "unpack")
      return Unpack(args);
    if (all[0] == "info")
      return Info(args);
    throw TUsageError("unknown command \"" + all[0] + "\"");
  } catch (const TUsageError& e) {
    std::fprintf(stderr, "zintrax-dib: %s (see zintrax-dib --help)\n", e.what());
    return 2;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "zintrax-dib: %s\n", e.what());
    return 1;
  }
}
