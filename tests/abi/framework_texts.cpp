// Every text opcode writes within the host buffer of its bound, whatever index it is given.
#include "abi/PluginHost.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace testhost;

namespace {
constexpr unsigned char kGuard = 0xA5;
constexpr std::size_t kGuardBytes = 64;

struct TextCase {
  int32_t opcode;
  std::size_t bound;
};

// Hands opcode a buffer of exactly bound bytes followed by guard bytes; fails when a guard
// byte changed or when a written text has no terminating zero inside the bound.
void ExpectWithinBound(const Instance& plugin, const TextCase& c, int32_t index) {
  std::vector<unsigned char> buffer(c.bound + kGuardBytes, kGuard);
  plugin.Dispatch(c.opcode, index, 0, buffer.data());
  for (std::size_t i = c.bound; i < buffer.size(); ++i) {
    ASSERT_EQ(buffer[i], kGuard) << "opcode " << c.opcode << " index " << index
                                 << " wrote past its bound at byte " << i;
  }
  if (buffer[0] != kGuard) {
    EXPECT_NE(std::memchr(buffer.data(), 0, c.bound), nullptr)
        << "opcode " << c.opcode << " index " << index << " left its text unterminated";
  }
}

std::vector<int32_t> IndexesAround(int32_t count) {
  return {INT32_MIN, -1, 0, count - 1, count, count + 1, INT32_MAX};
}
} // namespace

TEST(TextBounds, EveryTextOpcodeStaysInsideItsBuffer) {
  Library library;
  Instance plugin(library);
  const int32_t params = plugin.Effect()->numParams;
  const int32_t programs = plugin.Effect()->numPrograms;

  // Long texts where the plug-in lets the host set them: a 60-character program name and a
  // parameter value with many digits.
  const std::string longName(60, 'n');
  for (int32_t p = 0; p < programs; ++p) {
    plugin.Dispatch(effSetProgram, 0, p);
    plugin.Dispatch(effSetProgramName, 0, 0, const_cast<char*>(longName.c_str()));
  }
  char digits[] = "-0.0000123456789012345678";
  for (int32_t i = 0; i < params; ++i)
    plugin.Dispatch(effString2Parameter, i, 0, digits);

  for (int32_t p = 0; p < programs; ++p) {
    plugin.Dispatch(effSetProgram, 0, p);
    ExpectWithinBound(plugin, {effGetProgramName, 24}, 0);
  }
  for (int32_t index : IndexesAround(params)) {
    ExpectWithinBound(plugin, {effGetParamLabel, 32}, index);
    ExpectWithinBound(plugin, {effGetParamDisplay, 32}, index);
    ExpectWithinBound(plugin, {effGetParamName, 32}, index);
  }
  for (int32_t index : IndexesAround(programs))
    ExpectWithinBound(plugin, {effGetProgramNameIndexed, 24}, index);
  for (int32_t index : IndexesAround(2)) {
    ExpectWithinBound(plugin, {effGetInputProperties, sizeof(VstPinProperties)}, index);
    ExpectWithinBound(plugin, {effGetOutputProperties, sizeof(VstPinProperties)}, index);
  }
  ExpectWithinBound(plugin, {effGetEffectName, 32}, 0);
  ExpectWithinBound(plugin, {effGetVendorString, 64}, 0);
  ExpectWithinBound(plugin, {effGetProductString, 64}, 0);
  ExpectWithinBound(plugin, {effGetErrorText, 1}, 0);
}

TEST(TextBounds, LongProgramNameIsCutToTheHostBuffer) {
  Library library;
  Instance plugin(library);
  const std::string longName(60, 'x');
  plugin.Dispatch(effSetProgramName, 0, 0, const_cast<char*>(longName.c_str()));
  EXPECT_EQ(plugin.Text(effGetProgramName), std::string(23, 'x'));
  EXPECT_EQ(plugin.Text(effGetProgramNameIndexed, 0), std::string(23, 'x'));
}

TEST(TextBounds, PinLabelsStayInTheirFields) {
  Library library;
  Instance plugin(library);
  VstPinProperties props;
  std::memset(&props, 0x5A, sizeof props);
  ASSERT_EQ(plugin.Dispatch(effGetOutputProperties, 1, 0, &props), 1);
  EXPECT_STREQ(props.label, "Output #2");
  EXPECT_STREQ(props.shortLabel, "Out2");
  EXPECT_EQ(props.flags, 3);
  EXPECT_EQ(props.arrangementType, 0x5A5A5A5A) << "the arrangement type is not written";
  for (unsigned char byte : props.future)
    EXPECT_EQ(byte, 0x5A);
}

TEST(TextBounds, NullBuffersAreIgnored) {
  Library library;
  Instance plugin(library);
  for (int32_t opcode :
       {effGetProgramName, effGetParamLabel, effGetParamDisplay, effGetParamName,
        effGetProgramNameIndexed, effGetInputProperties, effGetOutputProperties, effGetEffectName,
        effGetVendorString, effGetProductString, effCanDo, effString2Parameter, effSetProgramName,
        effEditGetRect, effGetChunk, effSetChunk, effBeginLoadBank, effBeginLoadProgram})
    EXPECT_EQ(plugin.Dispatch(opcode, 0, 0, nullptr), 0) << "opcode " << opcode;
  EXPECT_EQ(plugin.Dispatch(effProcessEvents, 0, 0, nullptr), 1)
      << "a missing event list holds no events and gets the usual answer";
  EXPECT_EQ(plugin.Text(effGetProgramName), "on stage");
}
