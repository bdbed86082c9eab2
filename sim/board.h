// A simulated Korimo controller board. It answers the real packets: every read
// returns its 33-byte status packet, every write is decoded as a command. It is
// passive: its state advances when it is read or written, from the clock.
//
// Commands it understands (bytes in hexadecimal):
//   memory write    00 04 03 addr value 00                  (6 bytes)
//   memory read     00 20 03 FF 00 addr, zeros to byte 33   (34 bytes)
//   home X and Y    00 20 01 00 10 00, zeros to byte 33     (34 bytes)
//   move (the simulator's own, for the demo's movement files; no real board
//   knows it):
//                   00 08 4D 56 dxH dxL dyH dyL dzH dzL     (10 bytes)
//     "MV" and three signed 16-bit big-endian distances in thousandths of an
//     inch; each axis moves by its distance and stops at 0 and at 65535.
// Anything else is ignored (and counted): a packet is taken only when its length
// and its fixed header bytes match one of these; the zero padding of the 34-byte
// packets is not looked at.
//
// Behaviour chosen for the simulator (a real board may differ):
//   - commands are taken whenever they arrive, busy or not;
//   - a memory write stores its byte at once and keeps the board busy for
//     BoardTimings::memory_write;
//   - a memory read request keeps the board busy for BoardTimings::memory_read
//     and its answer shows in status byte 4 when that time is up (until then the
//     byte keeps the previous answer);
//   - home runs X and Y back to 0, a move runs the axes to their targets, at
//     axis_speed; the board is busy until every axis has arrived, and the
//     status positions follow the axes as they go.
#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "sim/clock.h"

namespace korimo::sim {

inline constexpr std::size_t kStatusSize = 33;
inline constexpr std::size_t kMemorySize = 256;
inline constexpr std::size_t kMovePacketSize = 10;

enum class Axis { kX, kY, kZ };

struct BoardTimings {
  Micros memory_write{2000};  // busy after a memory write
  Micros memory_read{1000};   // busy after a memory read request
  // Axis speed of home and move, thousandths of an inch per second.
  std::uint32_t axis_speed = 20000;
};

struct CommandCounts {
  std::uint32_t memory_writes = 0;
  std::uint32_t memory_reads = 0;
  std::uint32_t homes = 0;
  std::uint32_t moves = 0;
  std::uint32_t unknown = 0;
};

class Board {
 public:
  explicit Board(Clock& clock, BoardTimings timings = {});

  // Wire side.
  std::array<std::uint8_t, kStatusSize> Status() const;
  void Receive(std::span<const std::uint8_t> packet);

  // The simulator's own move packet (see above).
  static std::array<std::uint8_t, kMovePacketSize> MovePacket(std::int16_t dx, std::int16_t dy,
                                                              std::int16_t dz);

  // The factory image: a KX2 with serial number 4660 and the fixed block as
  // Set writes it; every other cell 0xFF, as erased memory reads.
  static std::array<std::uint8_t, kMemorySize> FactoryImage();

  // Operator side: the simulator panel and tests.
  const std::array<std::uint8_t, kMemorySize>& Memory() const { return memory_; }
  std::uint8_t Cell(std::uint8_t address) const { return memory_[address]; }
  void SetCell(std::uint8_t address, std::uint8_t value) { memory_[address] = value; }
  void SetMemory(const std::array<std::uint8_t, kMemorySize>& image) { memory_ = image; }

  std::uint8_t Inputs() const { return inputs_; }
  void SetInputs(std::uint8_t bits) { inputs_ = bits; }
  void SetStatusByte3(std::uint8_t value) { byte3_ = value; }
  // The byte 4 that the status packet shows now.
  std::uint8_t MemoryAnswer() const;

  // Where the axis is now (between its start and its target while it moves).
  std::uint16_t Position(Axis axis) const;
  // Puts the axis at `value` at once, ending any motion of it.
  void SetPosition(Axis axis, std::uint16_t value);

  bool IsBusy() const;
  // Busy for good (a jammed controller) until released.
  void SetStuckBusy(bool stuck) { stuck_busy_ = stuck; }

  BoardTimings& Timings() { return timings_; }
  const CommandCounts& Counts() const { return counts_; }
  void ResetCounts() { counts_ = {}; }

 private:
  struct AxisMotion {
    std::uint16_t from = 0;
    std::uint16_t to = 0;
    Micros start{0};
    Micros end{0};
  };

  void StartMotion(Axis axis, std::uint16_t target);
  void BusyFor(Micros duration);

  Clock& clock_;
  BoardTimings timings_;
  std::array<std::uint8_t, kMemorySize> memory_;
  std::array<AxisMotion, 3> axes_{};
  Micros busy_until_{0};
  bool stuck_busy_ = false;
  std::uint8_t inputs_ = 0;
  std::uint8_t byte3_ = 0;
  // Byte 4: the previous answer until the pending one is ready.
  std::uint8_t memory_answer_ = 0;
  std::uint8_t pending_answer_ = 0;
  Micros answer_ready_{0};
  CommandCounts counts_;
};

}  // namespace korimo::sim
