// The cabinet impulse table: four responses ("1x12", "2x12", "4x10", "4x12") of 64 taps,
// stored as 1024 bytes of little-endian 32-bit floats without header. The table embedded in
// the plug-in, a table file and a single-cabinet file (one 256-byte block) are all read
// through ReadImpulseBytes.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>

constexpr int kImpulseTaps = 64;
constexpr int kImpulseBlocks = 4;
constexpr std::size_t kImpulseBlockBytes = kImpulseTaps * 4;
constexpr std::size_t kImpulseTableBytes = kImpulseBlocks * kImpulseBlockBytes;

using TImpulseResponse = std::array<float, kImpulseTaps>;
using TImpulseTable = std::array<TImpulseResponse, kImpulseBlocks>;

// A table whose four responses are unit impulses (tap 0 is 1, the others 0).
TImpulseTable UnitImpulseTable();

// Reads consecutive values from bytes into the table, starting at tap 0 of firstBlock and
// running through at most blockCount blocks. Values that the bytes do not reach, including a
// value whose four bytes are not all present, keep what they held. Answers the number of
// values read.
int ReadImpulseBytes(std::span<const std::byte> bytes, TImpulseTable& table, int firstBlock,
                     int blockCount);

// The table built into the plug-in (resources/impulses.pcm).
std::span<const std::byte> EmbeddedImpulses();

// Reads at most blockCount blocks of the file into the table from firstBlock on, like
// ReadImpulseBytes; bytes beyond them are ignored. Answers false, leaving the table as it was,
// when path names no regular file that can be read.
bool ReadImpulseFile(const std::filesystem::path& path, TImpulseTable& table, int firstBlock,
                     int blockCount);

// Writes the whole table as a table file: into a file beside path first, which then replaces
// path, so that path never holds a part of a table. Answers false when that fails.
bool WriteImpulseFile(const std::filesystem::path& path, const TImpulseTable& table);
