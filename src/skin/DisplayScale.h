// Display scales: the editor's controls and geometry live in the form's own units, and a scale
// maps them onto the screen's pixels. Only the scales the artwork is drawn for are used.
#pragma once

#include "platform/Region.h"

#include <span>

// The scales the artwork is drawn for, from 1 (one pixel per unit) up.
std::span<const double> DisplayScales();
// The supported scale nearest to wanted (halves upward); 1 for anything below 1 or not a
// number, 3 for anything above.
double NearestDisplayScale(double wanted);
// A scale from text ("2", "1.5", "150%"); 0 when the text holds none above 0.
double ParseDisplayScale(const char* text);

// A coordinate of the form on the screen: v * scale, rounded (halves up). At scale 1 it is v.
int32_t ScaledCoordinate(int32_t v, double scale);
// A rectangle's edges on the screen (Right and Bottom exclusive).
TRect ScaledRect(const TRect& r, double scale);
// The form's unit that holds screen pixel p (rounded down).
int32_t UnscaledCoordinate(int32_t p, double scale);
// The smallest rectangle of form units whose screen pixels cover r (exclusive edges).
TRect UnscaledRectCovering(const TRect& r, double scale);
