// The 64-bit DLL with its settings in the registry key of wine's registry: the merge of a cabinet
// file into Impulses.pcm in ProgramData with its modal message box, a key that can only be read,
// and values that are not strings.
#include "EffectRecordHandle.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <sddl.h>
#include <shlobj.h>

#include <atomic>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace {
namespace fs = std::filesystem;

const wchar_t* const kKey = L"SOFTWARE\\Merrowlake\\Zintrax";
constexpr float kEmbeddedFirstTap = 0.15726304f; // tap 0 of every embedded cabinet

VstIntPtr Host(AEffect*, int32_t opcode, int32_t, VstIntPtr, void*, float) {
  return opcode == audioMasterVersion ? 2400 : 0;
}

class TPlugin : public EffectRecordHandle {
public:
  explicit TPlugin(HMODULE library)
      : EffectRecordHandle(reinterpret_cast<AEffect* (*)(audioMasterCallback)>(
            reinterpret_cast<void*>(GetProcAddress(library, "VSTPluginMain")))(Host)) {}
};

struct TBox {
  std::wstring Caption, Text;
  bool OnlyOk, WhileOpening;
};

// Presses OK on every message box of this process, noting what it showed and whether the
// open that showed it had not returned yet.
class TBoxWatcher {
public:
  ~TBoxWatcher() {
    FStop = true;
    FThread.join();
  }
  void Open(const TPlugin& plugin) {
    FOpening = true;
    plugin.Dispatch(effOpen);
    FOpening = false;
  }
  std::vector<TBox> Seen() {
    std::lock_guard<std::mutex> guard(FLock);
    return FSeen;
  }

private:
  void Run() {
    for (; !FStop; Sleep(5)) {
      DWORD process = 0;
      HWND box = FindWindowW(L"#32770", nullptr);
      if (!box || !GetWindowThreadProcessId(box, &process) || process != GetCurrentProcessId())
        continue;
      wchar_t caption[128] = {}, text[512] = {};
      GetWindowTextW(box, caption, 128);
      GetDlgItemTextW(box, 0xFFFF, text, 512); // the box's static text
      HWND ok = GetDlgItem(box, IDOK);
      {
        std::lock_guard<std::mutex> guard(FLock);
        FSeen.push_back({caption, text, ok && !GetDlgItem(box, IDCANCEL), FOpening});
      }
      SendMessageW(ok, BM_CLICK, 0, 0);
      for (int i = 0; i < 400 && IsWindow(box); ++i)
        Sleep(5);
    }
  }

  std::atomic<bool> FStop{false}, FOpening{false};
  std::mutex FLock;
  std::vector<TBox> FSeen;
  std::thread FThread{[this] { Run(); }};
};

std::optional<std::wstring> ReadString(const wchar_t* name) {
  wchar_t value[1024];
  DWORD size = sizeof value, type = 0;
  if (RegGetValueW(HKEY_LOCAL_MACHINE, kKey, name, RRF_RT_ANY, &type, value, &size) ||
      type != REG_SZ)
    return std::nullopt;
  return value;
}

void SetValue(const wchar_t* name, const std::wstring& value, DWORD type = REG_SZ) {
  ASSERT_EQ(ERROR_SUCCESS, RegSetKeyValueW(HKEY_LOCAL_MACHINE, kKey, name, type, value.c_str(),
                                           DWORD((value.size() + 1) * sizeof(wchar_t))));
}

// Sets the key's access list from its text form.
void SetAccess(const wchar_t* sddl) {
  HKEY key;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_LOCAL_MACHINE, kKey, 0, WRITE_DAC, &key));
  ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl, SDDL_REVISION_1,
                                                                   &descriptor, nullptr));
  EXPECT_EQ(ERROR_SUCCESS, RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, descriptor));
  LocalFree(descriptor);
  RegCloseKey(key);
}

std::vector<float> Block(float first) {
  std::vector<float> block(64, 0.0f);
  block[0] = first;
  return block;
}

std::vector<float> ReadFloats(const fs::path& path) {
  std::vector<float> values(256, NAN);
  std::ifstream(path, std::ios::binary).read(reinterpret_cast<char*>(values.data()), 1024);
  return values;
}

float SoftClip(float x) {
  const double e = std::abs(2.0 * x), p = e * (e * (e * (e + 3.0) + 6.0) + 12.0);
  return float(x < 0 ? -p / (p + 24.0) : p / (p + 24.0));
}

class SettingsRegistry : public ::testing::Test {
protected:
  void SetUp() override {
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, kKey);
    HKEY key;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_LOCAL_MACHINE, kKey, 0, nullptr, 0,
                                             KEY_ALL_ACCESS, nullptr, &key, nullptr));
    RegCloseKey(key);
    wchar_t common[MAX_PATH];
    ASSERT_EQ(S_OK, SHGetFolderPathW(nullptr, CSIDL_COMMON_APPDATA, nullptr, 0, common));
    merged = fs::path(common) / L"Merrowlake" / L"Zintrax" / L"Impulses.pcm";
    fs::remove(merged);
    // A folder whose name is not ASCII: the values' paths go through UTF-8 and back.
    fs::create_directories(folder);
    const std::vector<float> block = Block(0.75f);
    std::ofstream(cabinet, std::ios::binary)
        .write(reinterpret_cast<const char*>(block.data()), 256);
    library = LoadLibraryA(ZINTRAX_PLUGIN_PATH);
    ASSERT_NE(library, nullptr) << "LoadLibrary failed: " << GetLastError();
  }
  void TearDown() override {
    FreeLibrary(library);
    SetAccess(L"D:(A;;KA;;;WD)");
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, kKey);
    fs::remove_all(folder);
    fs::remove(merged);
  }

  // The first output for an impulse after open, with the blend at a corner of the pad:
  // SoftClip(1.5 x tap 0 of that corner's cabinet).
  float ImpulseAtCorner(float x, float y) {
    TPlugin plugin(library);
    watcher.Open(plugin);
    plugin.Dispatch(effMainsChanged, 0, 1);
    plugin.Effect()->setParameter(plugin.Effect(), 2, x);
    plugin.Effect()->setParameter(plugin.Effect(), 3, y);
    float in[2] = {1.0f, 0.0f}, out[2] = {};
    float* inputs[2] = {&in[0], &in[1]};
    float* outputs[2] = {&out[0], &out[1]};
    plugin.Effect()->processReplacing(plugin.Effect(), inputs, outputs, 1);
    return out[0];
  }

  HMODULE library = nullptr;
  fs::path merged, folder = fs::temp_directory_path() / L"zintrax-cabinets-\u00e9\u03a9",
                   cabinet = folder / L"cab.pcm";
  TBoxWatcher watcher;
};

TEST_F(SettingsRegistry, ACabinetIsMergedIntoProgramDataWithAModalBoxOnceAndTheNextOpenLoadsIt) {
  fs::create_directories(merged.parent_path());
  std::ofstream(merged) << "an old table, replaced";
  SetValue(L"2x12 File", cabinet.wstring());
  SetValue(L"4x10 File", (folder / L"nowhere.pcm").wstring());

  EXPECT_FLOAT_EQ(SoftClip(1.5f * 0.75f), ImpulseAtCorner(1.0f, 0.0f));
  const std::vector<TBox> boxes = watcher.Seen();
  ASSERT_EQ(1u, boxes.size());
  EXPECT_EQ(L"Impulse File Created", boxes[0].Caption);
  EXPECT_EQ(L"Impulse File has been recreated by user, see \"Impulses.pcm\"", boxes[0].Text);
  EXPECT_TRUE(boxes[0].OnlyOk);
  EXPECT_TRUE(boxes[0].WhileOpening);

  EXPECT_EQ(merged.wstring(), ReadString(L"Impulse File"));
  EXPECT_FALSE(ReadString(L"2x12 File"));
  EXPECT_EQ((folder / L"nowhere.pcm").wstring(), ReadString(L"4x10 File"));
  ASSERT_EQ(1024u, fs::file_size(merged));
  const std::vector<float> table = ReadFloats(merged);
  EXPECT_EQ(Block(0.75f), std::vector<float>(table.begin() + 64, table.begin() + 128));
  EXPECT_FLOAT_EQ(kEmbeddedFirstTap, table[0]);
  EXPECT_FLOAT_EQ(kEmbeddedFirstTap, table[192]);

  // Without the cabinet file the next open loads the cabinet from the merged table, silently.
  fs::remove(cabinet);
  EXPECT_FLOAT_EQ(SoftClip(1.5f * 0.75f), ImpulseAtCorner(1.0f, 0.0f));
  EXPECT_EQ(1u, watcher.Seen().size());
}

TEST_F(SettingsRegistry, AKeyThatCanOnlyBeReadServesThisOpenAndStaysAsItWas) {
  SetValue(L"1x12 File", cabinet.wstring());
  SetAccess(L"D:P(A;;KR;;;WD)"); // everyone may read, nobody may write
  HKEY key;
  ASSERT_EQ(ERROR_ACCESS_DENIED, RegOpenKeyExW(HKEY_LOCAL_MACHINE, kKey, 0, KEY_ALL_ACCESS, &key));

  EXPECT_FLOAT_EQ(SoftClip(1.5f * 0.75f), ImpulseAtCorner(0.0f, 0.0f));
  EXPECT_TRUE(watcher.Seen().empty());
  EXPECT_EQ(cabinet.wstring(), ReadString(L"1x12 File"));
  EXPECT_FALSE(ReadString(L"Impulse File"));
  EXPECT_FALSE(fs::exists(merged));
}

TEST_F(SettingsRegistry, AValueThatIsNotAStringCountsAsNoneAndAnExpandableOneIsExpanded) {
  SetValue(L"Impulse File", cabinet.wstring(), REG_BINARY);
  SetValue(L"1x12 File", cabinet.wstring(), REG_MULTI_SZ);
  SetEnvironmentVariableW(L"ZINTRAX_CABINETS", folder.c_str());
  SetValue(L"4x12 File", L"%ZINTRAX_CABINETS%\\cab.pcm", REG_EXPAND_SZ);

  EXPECT_FLOAT_EQ(SoftClip(1.5f * kEmbeddedFirstTap), ImpulseAtCorner(0.0f, 0.0f));
  EXPECT_EQ(1u, watcher.Seen().size());
  DWORD type = 0;
  EXPECT_EQ(ERROR_SUCCESS, RegGetValueW(HKEY_LOCAL_MACHINE, kKey, L"1x12 File", RRF_RT_ANY, &type,
                                        nullptr, nullptr));
  EXPECT_EQ(DWORD(REG_MULTI_SZ), type);
  EXPECT_FALSE(ReadString(L"4x12 File"));
  EXPECT_EQ(merged.wstring(), ReadString(L"Impulse File"));
  const std::vector<float> table = ReadFloats(merged);
  EXPECT_EQ(Block(0.75f), std::vector<float>(table.begin() + 192, table.end()));
}
} // namespace
