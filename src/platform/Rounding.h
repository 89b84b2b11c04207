// Rounding as the run-time library's Round does it.
#pragma once

// x rounded to the nearest integer, ties to even, whatever the floating-point rounding mode.
double RoundHalfEven(double x);
