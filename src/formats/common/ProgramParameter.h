// The factory programs as one parameter of steps on a host's 0..1 scale, for hosts that change
// programs through a parameter: program p of count stands at p / (count - 1), and a point of the
// scale selects the program whose share of it (count equal parts) the point falls in.
#pragma once

#include <cstdint>

double ProgramToNormalized(int32_t program, int32_t count);
// A point outside 0..1 counts as the nearest end, one that is not a number as 0.
int32_t NormalizedToProgram(double normalized, int32_t count);
