// Which parameter memory cell holds what. The controller keeps 256 cells; words
// are big-endian (high byte at the lower address), singles little-endian.
#pragma once

#include <array>
#include <bit>
#include <cstdint>

namespace korimo::memory {

inline constexpr std::size_t kCellCount = 256;

inline constexpr std::uint8_t kSerialNumber = 5;  // word 5..6
inline constexpr std::uint8_t kModelCode = 7;     // byte
inline constexpr std::uint8_t kZSpeed = 12;       // word 12..13, 0.001 in/sec
inline constexpr std::uint8_t kMaxZ = 14;         // word 14..15, 0.001 in
inline constexpr std::uint8_t kMaxX = 16;         // word 16..17, 0.001 in
inline constexpr std::uint8_t kMaxY = 18;         // word 18..19, 0.001 in
inline constexpr std::uint8_t kRasterSpeed = 20;  // word 20..21, 0.001 in/sec
inline constexpr std::uint8_t kVectorSpeed = 22;  // word 22..23, 0.001 in/sec

// The fixed parameter block that every Set writes, shown by the memory editor.
inline constexpr std::uint8_t kFixedBlockFirst = 0x20;
inline constexpr std::uint8_t kFixedBlockLast = 0x5F;
// The one cell of the block that Set leaves alone.
inline constexpr std::uint8_t kFixedBlockUntouched = 91;

// Writing 0 here resets the board's USB identity (VID/PID).
inline constexpr std::uint8_t kUsbIdentity = 0xE0;

// The memory editor may write only below this address and below this value.
inline constexpr int kEditorAddressLimit = 64;
inline constexpr int kEditorValueLimit = 256;

// Model codes, the item data of the model list.
inline constexpr std::uint8_t kNoModel = 0;
inline constexpr std::uint8_t kModelKX2 = 1;
inline constexpr std::uint8_t kModelKX3 = 2;

// Byte `index` (0 = least significant) of the IEEE 754 single representation
// of `value`. Indexes outside 0..3 give 0.
constexpr std::uint8_t ByteOf(float value, std::int16_t index) {
  if (index < 0 || index > 3) {
    return 0;
  }
  return static_cast<std::uint8_t>(std::bit_cast<std::uint32_t>(value) >> (8 * index));
}

struct FixedSingle {
  std::uint8_t address;  // four cells from here, least significant byte first
  float value;
};

struct FixedByte {
  std::uint8_t address;
  std::uint8_t value;
};

// The fixed parameter block, in the order Set writes it: eleven singles, then
// single bytes (cell 91 is not among them).
struct FixedParameterBlock {
  std::array<FixedSingle, 11> singles;
  std::array<FixedByte, 19> bytes;
};

inline constexpr FixedParameterBlock FixedParameters{
    .singles = {{
        {32, 0.025f},
        {36, 0.01f},
        {40, 0.025f},
        {44, 0.025f},
        {48, 0.08f},
        {52, 0.001f},
        {56, 0.001f},
        {60, 0.001f},
        {64, 10.0f},
        {68, 8000.0f},
        {72, 0.5f},
    }},
    .bytes = {{
        {76, 20}, {77, 0}, {78, 0}, {79, 0}, {80, 0}, {81, 0}, {82, 0}, {83, 0},  {84, 0},  {85, 0},
        {86, 0},  {87, 0}, {88, 0}, {89, 0}, {90, 1}, {92, 0}, {93, 0}, {94, 40}, {95, 90},
    }},
};

}  // namespace korimo::memory
