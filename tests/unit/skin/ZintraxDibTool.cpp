// Runs the built zintrax-dib on real files in a temporary directory.
#include "platform/PictureLoader.h"
#include "skin/cDIBData.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <sys/wait.h>
#include <vector>

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

struct TRun {
  int Exit = -1;
  std::string Out;
  std::string Err;
};

std::string Slurp(const fs::path& path) {
  std::ifstream f(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
}

void Spit(const fs::path& path, const Bytes& bytes) {
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

class ZintraxDibTool : public ::testing::Test {
protected:
  fs::path Dir;

  void SetUp() override {
#ifndef ZINTRAX_DIB_TOOL
    GTEST_SKIP() << "zintrax-dib is not built (tools are off)";
#endif
    char name[] = "/tmp/zintrax-dib-test-XXXXXX";
    Dir = mkdtemp(name);
  }
  void TearDown() override {
    if (!Dir.empty())
      fs::remove_all(Dir);
  }

  TRun Run(const std::string& args) {
#ifdef ZINTRAX_DIB_TOOL
    const std::string command = std::string("'") + ZINTRAX_DIB_TOOL + "' " + args + " >'" +
                                (Dir / "out.txt").string() + "' 2>'" + (Dir / "err.txt").string() +
                                "'";
    const int status = std::system(command.c_str());
    TRun run;
    EXPECT_TRUE(WIFEXITED(status)) << "the tool did not exit normally: " << args;
    run.Exit = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.Out = Slurp(Dir / "out.txt");
    run.Err = Slurp(Dir / "err.txt");
    return run;
#else
    (void)args;
    return {};
#endif
  }

  // The path of a file in the directory, quoted for the shell.
  std::string P(const std::string& file) {
    std::string quoted = (Dir / file).string();
    quoted.insert(quoted.begin(), '\'');
    quoted.push_back('\'');
    return quoted;
  }

  // A knob-like picture with transparency around a disc and noise in the background.
  Bytes Picture(int w, int h) {
    Bytes pixels(size_t(w) * h * 4);
    unsigned noise = 12345;
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        uint8_t* p = &pixels[(size_t(y) * w + x) * 4];
        const int dx = 2 * x - w, dy = 2 * y - h;
        const bool inside = dx * dx + dy * dy < w * h;
        noise = noise * 1103515245u + 12345u;
        p[0] = inside ? uint8_t(80 + x) : uint8_t(noise >> 24);
        p[1] = inside ? uint8_t(90 + y) : 0;
        p[2] = inside ? 120 : 0;
        p[3] = inside ? 255 : 0;
      }
    return pixels;
  }
};

TEST_F(ZintraxDibTool, PacksUnpacksAndDescribesWithEveryCompressor) {
  const Bytes pixels = Picture(71, 68);
  SavePNGFile((Dir / "knob.png").string(), 71, 68, pixels.data());
  for (const std::string compressor : {"rle", "lzh", "none"}) {
    SCOPED_TRACE(compressor);
    ASSERT_EQ(
        Run("pack " + P("knob.png") + " " + P("knob.dat") + " --compressor " + compressor).Exit, 0);
    const std::string stored = Slurp(Dir / "knob.dat");
    const bool raw = compressor == "none";
    EXPECT_EQ(stored.size() == 19316u, raw);
    EXPECT_EQ(stored.rfind("DIBCMP", 0) == 0, !raw);

    const TRun info = Run("info " + P("knob.dat"));
    ASSERT_EQ(info.Exit, 0) << info.Err;
    EXPECT_NE(info.Out.find("width: 71\nheight: 68\n"), std::string::npos) << info.Out;
    EXPECT_NE(info.Out.find(raw ? "form: raw" : "form: compressed"), std::string::npos);
    const std::string expected =
        compressor == "rle"   ? "compressor: Shuffle4 RLE {CABA9056-7349-43A4-B010-3764FBFAC230}"
        : compressor == "lzh" ? "compressor: DIB LZH {BC0C10FC-E045-41E7-A37C-B86AF21320B8}"
                              : "compressor: none";
    EXPECT_NE(info.Out.find(expected), std::string::npos) << info.Out;
    EXPECT_EQ(info.Out.find("raw length: 19316") != std::string::npos, !raw) << info.Out;

    ASSERT_EQ(Run("unpack " + P("knob.dat") + " " + P("back.png")).Exit, 0);
    const TPicture back = LoadPictureFile((Dir / "back.png").string());
    EXPECT_EQ(back.Width, 71);
    EXPECT_EQ(back.Height, 68);
    EXPECT_EQ(back.Pixels, pixels);
  }
}

TEST_F(ZintraxDibTool, StoresIncompressiblePicturesRaw) {
  Bytes noise(32 * 32 * 4);
  unsigned s = 99;
  for (auto& b : noise)
    b = uint8_t((s = s * 1664525u + 1013904223u) >> 24);
  SavePNGFile((Dir / "noise.png").string(), 32, 32, noise.data());
  ASSERT_EQ(Run("pack " + P("noise.png") + " " + P("noise.dat") + " --compressor rle").Exit, 0);
  EXPECT_EQ(Slurp(Dir / "noise.dat").size(), 4u + 32 * 32 * 4);
  // 1 x 3 pixels of one colour: "Shuffle4 RLE" codes the 16 raw bytes as eight pairs (each
  // plane is one size byte and a run of three), 16 bytes, which with the 26-byte header of the
  // compressed form would be longer than the raw block.
  const Bytes flat = {9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9};
  SavePNGFile((Dir / "flat.png").string(), 1, 3, flat.data());
  const TRun run = Run("pack " + P("flat.png") + " " + P("flat.dat") + " --compressor rle");
  ASSERT_EQ(run.Exit, 0);
  EXPECT_EQ(Slurp(Dir / "flat.dat").size(), 16u);
  EXPECT_NE(run.Out.find("stored raw in 16 bytes"), std::string::npos) << run.Out;
}

TEST_F(ZintraxDibTool, CorruptInputGetsAMessageAndAFailureStatus) {
  Bytes unknown = {'D', 'I', 'B', 'C', 'M', 'P'};
  unknown.resize(60, 3);
  Spit(Dir / "unknown.dat", unknown);
  Spit(Dir / "tiny.dat", Bytes{1, 0, 1});
  Spit(Dir / "empty.dat", Bytes{});
  Bytes huge = {'D', 'I', 'B', 'C', 'M', 'P'};
  huge.resize(26, 0);
  TGUID::FromString("{BC0C10FC-E045-41E7-A37C-B86AF21320B8}")->Store(huge.data() + 6);
  huge[22] = huge[23] = huge[24] = huge[25] = 0xFF;
  huge.push_back(0);
  Spit(Dir / "huge.dat", huge);
  Spit(Dir / "notapicture.png", Bytes{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0, 0});
  Spit(Dir / "half.bmp", Bytes{'B', 'M', 1, 2, 3});

  const std::vector<std::pair<std::string, std::string>> cases = {
      {"info " + P("unknown.dat"), "Could not find a suitable decompressor."},
      {"unpack " + P("unknown.dat") + " " + P("x.png"), "Could not find a suitable decompressor."},
      {"info " + P("tiny.dat"), "Corrupt image data"},
      {"info " + P("empty.dat"), "holds no image"},
      {"info " + P("huge.dat"), "Corrupt image data"},
      {"info " + P("missing.dat"), "cannot open"},
      {"pack " + P("notapicture.png") + " " + P("x.dat"), "Bad PNG file"},
      {"pack " + P("half.bmp") + " " + P("x.dat"), "Bad BMP file"},
      {"pack " + P("unknown.dat") + " " + P("x.dat"), "Unknown picture format"},
  };
  for (const auto& [args, message] : cases) {
    const TRun run = Run(args);
    EXPECT_EQ(run.Exit, 1) << args;
    EXPECT_NE(run.Err.find(message), std::string::npos) << args << ": " << run.Err;
  }
  EXPECT_FALSE(fs::exists(Dir / "x.png"));
}

TEST_F(ZintraxDibTool, UsageErrorsAndHelp) {
  EXPECT_EQ(Run("").Exit, 2);
  EXPECT_EQ(Run("frobnicate").Exit, 2);
  EXPECT_EQ(Run("pack onlyone").Exit, 2);
  const TRun badCompressor = Run("pack a b --compressor zip");
  EXPECT_EQ(badCompressor.Exit, 2);
  EXPECT_NE(badCompressor.Err.find("unknown compressor"), std::string::npos);
  const TRun help = Run("--help");
  EXPECT_EQ(help.Exit, 0);
  EXPECT_NE(help.Out.find("DIBCMP"), std::string::npos);
}

} // namespace
