// The factory programs as a parameter of steps on a 0..1 scale.
#include "formats/common/ProgramParameter.h"

#include <gtest/gtest.h>

#include <cmath>

TEST(ProgramParameter, EachProgramHasItsPointAndItsShareOfTheScale) {
  for (int32_t count = 1; count <= 5; ++count)
    for (int32_t program = 0; program < count; ++program)
      EXPECT_EQ(NormalizedToProgram(ProgramToNormalized(program, count), count), program);
  EXPECT_EQ(ProgramToNormalized(1, 3), 0.5);
  EXPECT_EQ(NormalizedToProgram(0.33, 3), 0);
  EXPECT_EQ(NormalizedToProgram(0.34, 3), 1);
  EXPECT_EQ(NormalizedToProgram(0.67, 3), 2);
  EXPECT_EQ(ProgramToNormalized(7, 3), 1.0);
  EXPECT_EQ(ProgramToNormalized(-1, 3), 0.0);
  EXPECT_EQ(NormalizedToProgram(-3.0, 3), 0);
  EXPECT_EQ(NormalizedToProgram(9.0, 3), 2);
  EXPECT_EQ(NormalizedToProgram(std::nan(""), 3), 0);
  EXPECT_EQ(NormalizedToProgram(0.9, 0), 0);
}
