// The settings store: a text file of Name=Value lines, replaced whole when saved.
#include "platform/Settings.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

namespace {
class SettingsStore : public ::testing::Test {
protected:
  std::filesystem::path folder =
      std::filesystem::temp_directory_path() / ("zintrax-settings-" + std::to_string(getpid()));
  std::filesystem::path file = folder / "Zintrax.conf";

  void SetUp() override { std::filesystem::create_directories(folder); }
  void TearDown() override { std::filesystem::remove_all(folder); }
  void Write(const std::string& text) { std::ofstream(file, std::ios::binary) << text; }
  std::string Read() const {
    std::ifstream in(file, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }
};

// Sets or clears an environment variable for the lifetime of the object.
class Environment {
public:
  Environment(const char* name, const char* value) : FName(name) {
    if (const char* old = std::getenv(name))
      FOld = old;
    value ? setenv(name, value, 1) : unsetenv(name);
  }
  ~Environment() { FOld ? setenv(FName, FOld->c_str(), 1) : unsetenv(FName); }

private:
  const char* FName;
  std::optional<std::string> FOld;
};
} // namespace

TEST_F(SettingsStore, AMissingFileOrOneThatIsNoRegularFileHoldsNoValues) {
  const TSettingsStore store(folder / "none.conf");
  EXPECT_FALSE(store.Read("Impulse File"));
  EXPECT_EQ("", store.ReadString("Impulse File"));
  ASSERT_EQ(0, mkfifo((folder / "pipe.conf").c_str(), 0600));
  EXPECT_FALSE(TSettingsStore(folder / "pipe.conf").Read("Impulse File")); // does not block
  EXPECT_FALSE(TSettingsStore(folder).Read("Impulse File"));
}

TEST_F(SettingsStore, ValuesAreReadByNameWithSurroundingBlanksIgnored) {
  Write(
      "# a comment\r\nImpulse File = /a path/with = sign.pcm \r\n\n1x12 File=x\nnot a value\n=y\n");
  const TSettingsStore store(file);
  EXPECT_EQ("/a path/with = sign.pcm", store.ReadString("Impulse File"));
  EXPECT_EQ("x", store.ReadString("1x12 File"));
  EXPECT_FALSE(store.Read("2x12 File"));
  EXPECT_FALSE(store.Read(""));
  EXPECT_FALSE(store.Read("# a comment"));
}

TEST_F(SettingsStore, ChangesReachTheFileOnlyWhenSavedAndKeepEverythingElse) {
  Write("# keep me\n1x12 File=a\n2x12 File=b\n");
  TSettingsStore store(file);
  store.DeleteValue("1x12 File");
  store.WriteString("2x12 File", "c");
  store.WriteString("Impulse File", "/d/Impulses.pcm\nInjected=1");
  EXPECT_EQ("# keep me\n1x12 File=a\n2x12 File=b\n", Read());
  ASSERT_TRUE(store.Save());
  EXPECT_EQ("# keep me\n2x12 File=c\nImpulse File=/d/Impulses.pcm\n", Read());
  EXPECT_EQ(1, std::distance(std::filesystem::directory_iterator(folder),
                             std::filesystem::directory_iterator()));
  const TSettingsStore again(file);
  EXPECT_EQ("/d/Impulses.pcm", again.ReadString("Impulse File"));
  EXPECT_FALSE(again.Read("Injected"));
}

TEST_F(SettingsStore, SavingCreatesTheFolderAndFailsCleanlyWhereItCannot) {
  TSettingsStore nested(folder / "a" / "b" / "Zintrax.conf");
  nested.WriteString("Impulse File", "x");
  ASSERT_TRUE(nested.Save());
  EXPECT_EQ("x", TSettingsStore(folder / "a" / "b" / "Zintrax.conf").ReadString("Impulse File"));

  Write("1x12 File=a\n");
  TSettingsStore blocked(file / "Zintrax.conf"); // a file stands where the folder should be
  blocked.WriteString("Impulse File", "x");
  EXPECT_FALSE(blocked.Save());
  EXPECT_EQ("1x12 File=a\n", Read());
}

TEST_F(SettingsStore, TheDefaultPlaceFollowsTheEnvironment) {
  {
    const Environment settings("ZINTRAX_SETTINGS_FILE", file.c_str());
    EXPECT_EQ(file, TSettingsStore::DefaultPath());
    EXPECT_EQ(file, TSettingsStore().Path());
  }
  const Environment noSettings("ZINTRAX_SETTINGS_FILE", nullptr);
  {
    const Environment config("XDG_CONFIG_HOME", "/somewhere/config");
    EXPECT_EQ(std::filesystem::path("/somewhere/config/Merrowlake/Zintrax.conf"),
              TSettingsStore::DefaultPath());
  }
  const Environment noConfig("XDG_CONFIG_HOME", nullptr);
  const Environment home("HOME", "/home/someone");
  EXPECT_EQ(std::filesystem::path("/home/someone/.config/Merrowlake/Zintrax.conf"),
            TSettingsStore::DefaultPath());
}
