// The impulse table through the settings store, with real files in a private folder: the
// table file, cabinet files, the merge into "Impulses.pcm" and its message.
#include "effect_helpers.h"

#include <unistd.h>

#include <cmath>
#include <cstring>
#include <fstream>
#include <sstream>

using namespace effecttest;
using testhost::Instance;
using testhost::Library;

namespace {
// Collects what is written to standard error (where the message box goes on Linux).
class StandardErrorCapture {
public:
  explicit StandardErrorCapture(std::filesystem::path file) : FFile(std::move(file)) {
    std::fflush(stderr);
    FSaved = dup(2);
    FILE* f = std::fopen(FFile.c_str(), "w");
    dup2(fileno(f), 2);
    std::fclose(f);
  }
  ~StandardErrorCapture() { Stop(); }
  std::string Stop() {
    if (FSaved >= 0) {
      std::fflush(stderr);
      dup2(FSaved, 2);
      close(FSaved);
      FSaved = -1;
    }
    std::ifstream in(FFile);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }

private:
  std::filesystem::path FFile;
  int FSaved = -1;
};

void WriteFloats(const std::filesystem::path& path, const std::vector<float>& values,
                 std::size_t extraBytes = 0) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(values.data()), std::streamsize(values.size() * 4));
  out.write(std::string(extraBytes, '\x7f').data(), std::streamsize(extraBytes));
}

std::vector<float> ReadFloats(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::vector<float> values(bytes.size() / 4);
  std::memcpy(values.data(), bytes.data(), values.size() * 4);
  return values;
}

std::string ReadText(const std::filesystem::path& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// A block whose first tap is value and whose other taps are 0.
std::vector<float> Block(float first) {
  std::vector<float> block(64, 0.0f);
  block[0] = first;
  return block;
}

// The first output for an impulse of 1.0 after open, with the blend at the pad corner (x, y):
// SoftClip(1.5 * tap 0 of that corner's cabinet).
float ImpulseAtCorner(const Library& library, float x, float y) {
  Instance effect(library);
  effect.Start();
  effect.SetParameter(2, x);
  effect.SetParameter(3, y);
  Stereo impulse(1);
  impulse.left[0] = 1.0f;
  return Render(effect, impulse).left[0];
}

float SoftClip(float x) {
  const double e = std::abs(2.0 * x), p = e * (e * (e * (e + 3.0) + 6.0) + 12.0);
  return float(x < 0 ? -p / (p + 24.0) : p / (p + 24.0));
}

class EffectSettings : public ::testing::Test {
protected:
  PrivateSettings settings;
  Library library;
  void Store(const std::string& text) { std::ofstream(settings.Store()) << text; }
};
} // namespace

TEST_F(EffectSettings, WithoutValuesTheEmbeddedTableIsUsedAndNothingIsWritten) {
  StandardErrorCapture captured(settings.Folder() / "stderr.txt");
  // Tap 0 of every embedded cabinet is 0.15726304.
  EXPECT_FLOAT_EQ(SoftClip(1.5f * 0.15726304f), ImpulseAtCorner(library, 1.0f, 1.0f));
  EXPECT_EQ("", captured.Stop());
  EXPECT_FALSE(std::filesystem::exists(settings.Store()));
  EXPECT_FALSE(std::filesystem::exists(settings.Folder() / "Impulses.pcm"));
}

TEST_F(EffectSettings, ATableFileReplacesTheEmbeddedTableAndAShortOneOnlyWhatItCovers) {
  std::vector<float> table;
  for (float first : {0.2f, 0.3f, 0.4f, 0.5f}) {
    const std::vector<float> block = Block(first);
    table.insert(table.end(), block.begin(), block.end());
  }
  WriteFloats(settings.Folder() / "table.pcm", table, 100); // bytes beyond 1024 are ignored
  Store("Impulse File=" + (settings.Folder() / "table.pcm").string() + "\n");
  EXPECT_FLOAT_EQ(SoftClip(1.5f * 0.2f), ImpulseAtCorner(library, 0.0f, 0.0f));
  EXPECT_FLOAT_EQ(SoftClip(1.5f * 0.5f), ImpulseAtCorner(library, 1.0f, 1.0f));

  // One block: the others stay unit impulses.
  WriteFloats(settings.Folder() / "table.pcm", Block(0.25f));
  EXPECT_FLOAT_EQ(SoftClip(1.5f * 0.25f), ImpulseAtCorner(library, 0.0f, 0.0f));
  EXPECT_FLOAT_EQ(SoftClip(1.5f), ImpulseAtCorner(library, 1.0f, 0.0f));

  // A name that is no file counts as none.
  Store("Impulse File=" + (settings.Folder() / "missing.pcm").string() + "\n");
  EXPECT_FLOAT_EQ(SoftClip(1.5f * 0.15726304f), ImpulseAtCorner(library, 0.0f, 0.0f));
}

TEST_F(EffectSettings, ACabinetFileIsMergedIntoImpulsesPcmOnceAndTheNextOpenLoadsIt) {
  WriteFloats(settings.Folder() / "cab.pcm", Block(0.75f), 256); // only 64 values count
  Store("# my cabinets\n2x12 File=" + (settings.Folder() / "cab.pcm").string() +
        "\n4x10 File=" + (settings.Folder() / "nowhere.pcm").string() + "\nOther=kept\n");
  StandardErrorCapture captured(settings.Folder() / "stderr.txt");
  EXPECT_FLOAT_EQ(SoftClip(1.5f * 0.75f), ImpulseAtCorner(library, 1.0f, 0.0f));
  const std::string message = captured.Stop();
  EXPECT_EQ("Impulse File Created: Impulse File has been recreated by user, see \"Impulses.pcm\"\n",
            message);

  const std::filesystem::path merged = settings.Folder() / "Impulses.pcm";
  ASSERT_EQ(1024u, std::filesystem::file_size(merged));
  const std::vector<float> table = ReadFloats(merged);
  EXPECT_EQ(Block(0.75f), std::vector<float>(table.begin() + 64, table.begin() + 128));
  EXPECT_FLOAT_EQ(0.15726304f, table[0]);
  EXPECT_FLOAT_EQ(0.1309124f, table[193]);
  EXPECT_EQ("# my cabinets\n4x10 File=" + (settings.Folder() / "nowhere.pcm").string() +
                "\nOther=kept\nImpulse File=" + merged.string() + "\n",
            ReadText(settings.Store()));

  // The next open loads the merged table and says nothing.
  StandardErrorCapture again(settings.Folder() / "stderr2.txt");
  EXPECT_FLOAT_EQ(SoftClip(1.5f * 0.75f), ImpulseAtCorner(library, 1.0f, 0.0f));
  EXPECT_EQ("", again.Stop());
}

TEST_F(EffectSettings, ACabinetValueThatNamesNoFileChangesNothing) {
  const std::string store =
      "3x9 File=elsewhere\n4x10 File=" + (settings.Folder() / "nowhere.pcm").string() + "\n";
  Store(store);
  StandardErrorCapture captured(settings.Folder() / "stderr.txt");
  EXPECT_FLOAT_EQ(SoftClip(1.5f * 0.15726304f), ImpulseAtCorner(library, 0.0f, 1.0f));
  EXPECT_EQ("", captured.Stop());
  EXPECT_EQ(store, ReadText(settings.Store()));
  EXPECT_FALSE(std::filesystem::exists(settings.Folder() / "Impulses.pcm"));
}

TEST_F(EffectSettings, WhenTheMergedTableCannotBeWrittenTheCabinetValuesStay) {
  std::filesystem::create_directory(settings.Folder() / "Impulses.pcm");
  WriteFloats(settings.Folder() / "cab.pcm", Block(0.75f));
  const std::string store = "1x12 File=" + (settings.Folder() / "cab.pcm").string() + "\n";
  Store(store);
  StandardErrorCapture captured(settings.Folder() / "stderr.txt");
  // The cabinet is still used for this session.
  EXPECT_FLOAT_EQ(SoftClip(1.5f * 0.75f), ImpulseAtCorner(library, 0.0f, 0.0f));
  EXPECT_EQ("", captured.Stop());
  EXPECT_EQ(store, ReadText(settings.Store()));
}

TEST_F(EffectSettings, TheMergedTableGoesBesideTheStoreWhereverItLives) {
  const std::filesystem::path store = settings.Folder() / "new" / "folder" / "Zintrax.conf";
  setenv("ZINTRAX_SETTINGS_FILE", store.c_str(), 1);
  std::filesystem::create_directories(store.parent_path());
  WriteFloats(settings.Folder() / "cab.pcm", Block(0.5f));
  std::ofstream(store) << "4x12 File=" << (settings.Folder() / "cab.pcm").string() << "\n";
  StandardErrorCapture captured(settings.Folder() / "stderr.txt");
  EXPECT_FLOAT_EQ(SoftClip(1.5f * 0.5f), ImpulseAtCorner(library, 1.0f, 1.0f));
  captured.Stop();
  EXPECT_EQ(1024u, std::filesystem::file_size(store.parent_path() / "Impulses.pcm"));
  EXPECT_EQ("Impulse File=" + (store.parent_path() / "Impulses.pcm").string() + "\n",
            ReadText(store));
}

TEST_F(EffectSettings, CabinetFilesOverTheTableFileFillOnlyWhatTheyCoverAndMergeInOneStep) {
  // The table file: block b starts with 0.1 * (b + 1) and has 0.01 at every other tap.
  std::vector<float> table;
  for (int b = 0; b < 4; ++b) {
    std::vector<float> block(64, 0.01f);
    block[0] = 0.1f * float(b + 1);
    table.insert(table.end(), block.begin(), block.end());
  }
  WriteFloats(settings.Folder() / "table.pcm", table);
  WriteFloats(settings.Folder() / "short.pcm", {0.6f, 0.7f}); // two values of block 1
  WriteFloats(settings.Folder() / "empty.pcm", {});           // exists, covers nothing
  WriteFloats(settings.Folder() / "full.pcm", Block(0.9f));
  Store("Impulse File=" + (settings.Folder() / "table.pcm").string() +
        "\n1x12 File=" + (settings.Folder() / "short.pcm").string() +
        "\n2x12 File=" + (settings.Folder() / "empty.pcm").string() +
        "\n4x12 File=" + (settings.Folder() / "full.pcm").string() + "\n");
  StandardErrorCapture captured(settings.Folder() / "stderr.txt");
  EXPECT_FLOAT_EQ(SoftClip(1.5f * 0.6f), ImpulseAtCorner(library, 0.0f, 0.0f));
  EXPECT_EQ("Impulse File Created: Impulse File has been recreated by user, see \"Impulses.pcm\"\n",
            captured.Stop());

  std::vector<float> expected = table;
  expected[0] = 0.6f, expected[1] = 0.7f;
  std::copy_n(Block(0.9f).begin(), 64, expected.begin() + 192);
  const std::filesystem::path merged = settings.Folder() / "Impulses.pcm";
  EXPECT_EQ(expected, ReadFloats(merged));
  EXPECT_EQ("Impulse File=" + merged.string() + "\n", ReadText(settings.Store()));
}
