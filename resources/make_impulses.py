#!/usr/bin/env python3
"""Writes impulses.pcm, the cabinet impulse table embedded in the plug-in.

Layout: four blocks ("1x12", "2x12", "4x10", "4x12") of 64 little-endian 32-bit floats,
1024 bytes, no header. Tap 0 is applied to the newest sample.

Taps 0 to 15 are the measured values that reach the output. The later taps never reach
the output; they continue each response with the shape it was measured with: a negative
tail whose step from one tap to the next shrinks by a constant ratio, pinned to the
measured values at its first and last tap. Blocks 3 and 4 carry their main peak at taps
17 to 21 before the tail starts at tap 22.

Usage: make_impulses.py [OUTPUT]   (default: impulses.pcm beside this script)
"""
import os
import struct
import sys

# Ratio by which the step between neighbouring tail taps shrinks. The measured early taps
# shrink by about 0.855 per tap; 0.8551 brings every block's sum of all 64 taps within
# 1e-4 of the measured sums (0.5889, 0.7166, 0.6186, 0.8984).
TAIL_RATIO = 0.8551

EARLY = {
    "1x12": [0.15726304, -0.010624327, 0.13298145, -0.017379526, -0.014874692,
             0.14154184, 0.111247934, 0.11216145, 0.24274564, -0.046615764,
             0.1007445, -0.04367521, -0.037401464, -0.032037742, -0.027452035,
             -0.023531482],
    "2x12": [0.15726304, -0.010624327, 0.13298145, -0.017379526, -0.014874692,
             0.14421532, 0.111067325, 0.082938075, 0.24599256, 0.08351863,
             0.09459055, 0.09180942, -0.052507024, -0.044965487, -0.038517866,
             -0.033005483],
    "4x10": [0.15726304, -0.010624327, 0.13298145, -0.017379526, -0.014874692,
             -0.012733197, -0.010902333, -0.009337043, -0.007998801, -0.006854672,
             -0.0058764983, -0.005040206, -0.0043252143, -0.0037139272,
             -0.0031913018, -0.002744477],
    "4x12": [0.15726304, 0.1309124, 0.12341955, 0.10230377, -0.030516265,
             -0.026120419, -0.02236221, -0.019149141, -0.016402138, -0.0140535915,
             -0.012045701, -0.010329053, -0.008861398, 0.1339301, -0.016095728,
             0.11406665],
}

# Taps 16 to 21 of the blocks with a late peak.
PEAKS = {
    "4x10": [-0.0023624569, 0.15521146, 0.14331055, 0.27662262, 0.10244205, 0.09843352],
    "4x12": [-0.020474058, 0.13969803, 0.13001841, 0.26664495, 0.09257703, 0.091249086],
}

# First and last value of each tail.
TAILS = {
    "1x12": (-0.020179598, -0.0004249356),
    "2x12": (-0.028292669, -0.00051949517),
    "4x10": (-0.04565355, -0.000506259),
    "4x12": (-0.05300444, -0.00071378757),
}


def tail(first, last, count):
    """count values c + (first - c) * TAIL_RATIO**i that start at first and end at last."""
    r = TAIL_RATIO ** (count - 1)
    level = (last - first * r) / (1.0 - r)
    values = [level + (first - level) * TAIL_RATIO ** i for i in range(count)]
    values[0], values[-1] = first, last
    return values


def block(name):
    taps = EARLY[name] + PEAKS.get(name, [])
    taps += tail(*TAILS[name], 64 - len(taps))
    assert len(taps) == 64
    return taps


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "impulses.pcm")
    data = b"".join(struct.pack("<64f", *block(name)) for name in EARLY)
    assert len(data) == 1024
    with open(out, "wb") as f:
        f.write(data)


if __name__ == "__main__":
    main()
