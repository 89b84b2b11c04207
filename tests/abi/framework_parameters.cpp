// Parameters and programs as a host sees them: normalised values, texts, automation notices,
// program selection, names and chunks.
#include "abi/PluginHost.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

using namespace testhost;

namespace {
class Parameters : public ::testing::Test {
protected:
  void SetUp() override { Log().Clear(); }
  Library library;
  Instance plugin{library};

  VstIntPtr FromText(int32_t index, const char* text) {
    return plugin.Dispatch(effString2Parameter, index, 0, const_cast<char*>(text));
  }
  std::string Display(int32_t index) { return plugin.Text(effGetParamDisplay, index); }
};

constexpr float kFactory[3][4] = {
    {750.0f, 1.5f, 0.5f, 0.5f}, {750.0f, 2.5f, 0.7f, 0.9f}, {300.0f, 2.0f, 0.1f, 0.2f}};
constexpr float kMin[4] = {50.0f, 1.0f, 0.0f, 0.0f};
constexpr float kMax[4] = {750.0f, 5.0f, 1.0f, 1.0f};

float Normalized(int32_t index, float real) {
  return static_cast<float>((real - kMin[index]) / (kMax[index] - kMin[index]));
}
} // namespace

TEST_F(Parameters, NamesUnitsAndStartValuesOfProgramZero) {
  const char* names[] = {"Distance", "Feeding", "X-Axis", "Y-Axis"};
  for (int32_t i = 0; i < 4; ++i) {
    EXPECT_EQ(plugin.Text(effGetParamName, i), names[i]);
    EXPECT_EQ(plugin.Text(effGetParamLabel, i), i == 0 ? "cm" : "");
    EXPECT_FLOAT_EQ(plugin.GetParameter(i), Normalized(i, kFactory[0][i]));
    EXPECT_EQ(plugin.Dispatch(effCanBeAutomated, i), 1);
  }
  EXPECT_EQ(Display(0), "750");
  EXPECT_EQ(Display(1), "1.5");
  EXPECT_EQ(plugin.Text(effGetParamName, 4), "undefined");
  EXPECT_EQ(plugin.Text(effGetParamLabel, -1), "undefined");
  EXPECT_EQ(plugin.Text(effGetParamDisplay, 99), "undefined");
  EXPECT_EQ(plugin.Dispatch(effCanBeAutomated, 4), 1);
  EXPECT_EQ(plugin.Dispatch(effGetParameterProperties, 0, 0, nullptr), 0);
}

TEST_F(Parameters, SetParameterStoresRealValueAndNotifiesTheHost) {
  plugin.SetParameter(0, 0.5f);
  EXPECT_EQ(Display(0), "400");
  EXPECT_FLOAT_EQ(plugin.GetParameter(0), 0.5f);
  const auto automate = Log().Of(audioMasterAutomate);
  ASSERT_EQ(automate.size(), 1u);
  EXPECT_EQ(automate[0].index, 0);
  EXPECT_FLOAT_EQ(automate[0].opt, 0.5f);
  EXPECT_EQ(automate[0].effect, plugin.Effect());
}

TEST_F(Parameters, DisplayShowsFifteenSignificantDigits) {
  plugin.SetParameter(2, 0.1f);
  EXPECT_EQ(Display(2), "0.100000001490116");
  plugin.SetParameter(3, 0.3f);
  EXPECT_EQ(Display(3), "0.300000011920929");
}

TEST_F(Parameters, OutOfRangeHostValuesAreStoredButReadBackClamped) {
  plugin.SetParameter(0, 1.5f);
  EXPECT_EQ(Display(0), "1100");
  EXPECT_EQ(plugin.GetParameter(0), 1.0f);
  ASSERT_EQ(FromText(0, "-100"), 1);
  EXPECT_EQ(plugin.GetParameter(0), 0.0f);
}

TEST_F(Parameters, NonFiniteValuesAreRefused) {
  const float before = plugin.GetParameter(1);
  for (float bad : {std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity(),
                    -std::numeric_limits<float>::infinity()})
    plugin.SetParameter(1, bad);
  for (const char* bad : {"nan", "inf", "-inf", "1e300", "abc", "", "12abc", "0x10"})
    EXPECT_EQ(FromText(1, bad), 0) << bad;
  EXPECT_EQ(plugin.GetParameter(1), before);
  EXPECT_EQ(Display(1), "1.5");
  EXPECT_TRUE(Log().Of(audioMasterAutomate).empty()) << "a refused value sends no notice";
}

TEST_F(Parameters, AHostValueBeyondSinglePrecisionLeavesLaterSetsWorking) {
  plugin.SetParameter(0, 1e38f); // 700 * 1e38 + 50 is no single-precision number
  EXPECT_EQ(Display(0), "750");
  EXPECT_TRUE(Log().Of(audioMasterAutomate).empty());
  plugin.SetParameter(0, 0.5f);
  EXPECT_EQ(Display(0), "400");
  EXPECT_FLOAT_EQ(plugin.GetParameter(0), 0.5f);
  plugin.SetParameter(1, -1e38f);
  plugin.SetParameter(1, 0.25f);
  EXPECT_EQ(Display(1), "2");
}

TEST_F(Parameters, OutOfRangeIndexesAreIgnored) {
  for (int32_t index : {-1, 4, 1000, INT32_MIN, INT32_MAX}) {
    plugin.SetParameter(index, 0.25f);
    EXPECT_EQ(plugin.GetParameter(index), 0.0f);
    EXPECT_EQ(FromText(index, "1"), 0);
  }
  EXPECT_TRUE(Log().Of(audioMasterAutomate).empty());
  for (int32_t i = 0; i < 4; ++i)
    EXPECT_FLOAT_EQ(plugin.GetParameter(i), Normalized(i, kFactory[0][i]));
}

TEST_F(Parameters, TextToParameterTakesRealValues) {
  EXPECT_EQ(FromText(0, "300"), 1);
  EXPECT_EQ(Display(0), "300");
  ASSERT_EQ(Log().Of(audioMasterAutomate).size(), 1u);
  EXPECT_FLOAT_EQ(Log().Of(audioMasterAutomate)[0].opt, Normalized(0, 300.0f));
  EXPECT_EQ(FromText(0, " 425.5 "), 1);
  EXPECT_EQ(Display(0), "425.5");
  EXPECT_EQ(plugin.Dispatch(effString2Parameter, 0, 0, nullptr), 0);
}

TEST_F(Parameters, ProgramsCarryTheFactoryValues) {
  EXPECT_EQ(plugin.Dispatch(effGetProgram), 0);
  const char* names[] = {"on stage", "heavy rock", "encore"};
  for (int32_t p = 0; p < 3; ++p) {
    EXPECT_EQ(plugin.Text(effGetProgramNameIndexed, p), names[p]);
    plugin.Dispatch(effSetProgram, 0, p);
    EXPECT_EQ(plugin.Dispatch(effGetProgram), p);
    EXPECT_EQ(plugin.Text(effGetProgramName), names[p]);
    for (int32_t i = 0; i < 4; ++i)
      EXPECT_FLOAT_EQ(plugin.GetParameter(i), Normalized(i, kFactory[p][i])) << p << "/" << i;
  }
  char buffer[32] = "untouched";
  EXPECT_EQ(plugin.Dispatch(effGetProgramNameIndexed, 3, 0, buffer), 0);
  EXPECT_EQ(plugin.Dispatch(effGetProgramNameIndexed, -1, 0, buffer), 0);
  EXPECT_STREQ(buffer, "untouched");
}

TEST_F(Parameters, ProgramSwitchReportsEveryValue) {
  plugin.Dispatch(effSetProgram, 0, 2);
  const auto automate = Log().Of(audioMasterAutomate);
  ASSERT_EQ(automate.size(), 4u);
  for (int32_t i = 0; i < 4; ++i) {
    EXPECT_EQ(automate[i].index, i);
    EXPECT_FLOAT_EQ(automate[i].opt, Normalized(i, kFactory[2][i]));
  }
}

TEST_F(Parameters, InvalidProgramNumbersChangeNothing) {
  plugin.Dispatch(effSetProgram, 0, 1);
  Log().calls.clear();
  for (VstIntPtr p : {VstIntPtr{1}, VstIntPtr{3}, VstIntPtr{-1}, VstIntPtr{1000}})
    plugin.Dispatch(effSetProgram, 0, p);
  EXPECT_EQ(plugin.Dispatch(effGetProgram), 1);
  EXPECT_TRUE(Log().Of(audioMasterAutomate).empty());
#if INTPTR_MAX == INT64_MAX
  plugin.Dispatch(effSetProgram, 0, -(VstIntPtr{1} << 32) + 2); // low 32 bits read as 2
  EXPECT_EQ(plugin.Dispatch(effGetProgram), 1);
#endif
}

TEST_F(Parameters, EditsStayWithTheirProgram) {
  plugin.Dispatch(effSetProgram, 0, 1);
  FromText(0, "500");
  plugin.Dispatch(effSetProgram, 0, 2);
  EXPECT_EQ(Display(0), "300");
  plugin.Dispatch(effSetProgram, 0, 1);
  EXPECT_EQ(Display(0), "500");
}

TEST_F(Parameters, ProgramNamesAreStoredPerProgram) {
  plugin.Dispatch(effSetProgram, 0, 2);
  char name[] = "my encore";
  plugin.Dispatch(effSetProgramName, 0, 0, name);
  EXPECT_EQ(plugin.Text(effGetProgramName), "my encore");
  EXPECT_EQ(plugin.Text(effGetProgramNameIndexed, 2), "my encore");
  EXPECT_EQ(plugin.Text(effGetProgramNameIndexed, 0), "on stage");
}

TEST_F(Parameters, ProgramChunksRoundTrip) {
  unsigned char bytes[10] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
  EXPECT_EQ(plugin.Dispatch(effSetChunk, 1, sizeof bytes, bytes), 10);
  void* data = nullptr;
  ASSERT_EQ(plugin.Dispatch(effGetChunk, 1, 0, &data), 10);
  ASSERT_NE(data, nullptr);
  EXPECT_EQ(std::memcmp(data, bytes, sizeof bytes), 0);
  EXPECT_EQ(plugin.Dispatch(effSetChunk, 1, -4, bytes), 0);
  EXPECT_EQ(plugin.Dispatch(effGetChunk, 1, 0, &data), 10) << "a refused chunk keeps the old one";
  EXPECT_EQ(plugin.Dispatch(effGetChunk, 0, 0, &data), 0) << "bank chunks are not supported";
}
