#include "sim/board.h"

#include <algorithm>
#include <cstdlib>

namespace korimo::sim {
namespace {

constexpr std::size_t kMemoryWriteSize = 6;
constexpr std::size_t kLongPacketSize = 34;

// Fixed header bytes of each command, from byte 0.
constexpr std::array<std::uint8_t, 3> kMemoryWriteHeader{0x00, 0x04, 0x03};
constexpr std::array<std::uint8_t, 5> kMemoryReadHeader{0x00, 0x20, 0x03, 0xFF, 0x00};
constexpr std::array<std::uint8_t, 6> kHomeHeader{0x00, 0x20, 0x01, 0x00, 0x10, 0x00};
constexpr std::array<std::uint8_t, 4> kMoveHeader{0x00, 0x08, 0x4D, 0x56};

constexpr std::size_t kPositionOffset = 24;
constexpr std::size_t kMirrorFirst = 5;
constexpr std::size_t kMirrorLast = 23;
constexpr std::uint8_t kBusyBit = 0x80;
constexpr std::int32_t kAxisMax = 65535;

template <std::size_t N>
bool Matches(std::span<const std::uint8_t> packet, std::size_t size,
             const std::array<std::uint8_t, N>& header) {
  return packet.size() == size && std::equal(header.begin(), header.end(), packet.begin());
}

std::size_t Index(Axis axis) {
  return static_cast<std::size_t>(axis);
}

std::int16_t SignedWord(std::uint8_t high, std::uint8_t low) {
  return static_cast<std::int16_t>(static_cast<std::uint16_t>(high << 8 | low));
}

}  // namespace

Board::Board(Clock& clock, BoardTimings timings)
    : clock_(clock), timings_(timings), memory_(FactoryImage()) {}

std::array<std::uint8_t, kMemorySize> Board::FactoryImage() {
  std::array<std::uint8_t, kMemorySize> image;
  image.fill(0xFF);
  auto put = [&image](std::size_t address, std::initializer_list<std::uint8_t> bytes) {
    std::copy(bytes.begin(), bytes.end(), image.begin() + static_cast<std::ptrdiff_t>(address));
  };
  // Serial number 4660, model KX2 and its six parameter words.
  put(5, {0x12, 0x34, 0x01});
  put(12, {0x1F, 0x40,    // Z speed 8000
           0x10, 0x9A,    // max Z 4250
           0x3E, 0x80,    // max X 16000
           0x2E, 0xE0,    // max Y 12000
           0xC3, 0x50,    // raster 50000
           0x27, 0x10});  // vector 10000
  // The fixed block, singles least significant byte first; 91 stays erased.
  put(32, {0xCD, 0xCC, 0xCC, 0x3C, 0x0A, 0xD7, 0x23, 0x3C, 0xCD, 0xCC, 0xCC, 0x3C, 0xCD, 0xCC, 0xCC,
           0x3C, 0x0A, 0xD7, 0xA3, 0x3D, 0x6F, 0x12, 0x83, 0x3A, 0x6F, 0x12, 0x83, 0x3A, 0x6F, 0x12,
           0x83, 0x3A, 0x00, 0x00, 0x20, 0x41, 0x00, 0x00, 0xFA, 0x45, 0x00, 0x00, 0x00, 0x3F});
  put(76, {0x14, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x01});
  put(92, {0x00, 0x00, 0x28, 0x5A});
  return image;
}

std::array<std::uint8_t, kMovePacketSize> Board::MovePacket(std::int16_t dx, std::int16_t dy,
                                                            std::int16_t dz) {
  std::array<std::uint8_t, kMovePacketSize> packet{kMoveHeader[0], kMoveHeader[1], kMoveHeader[2],
                                                   kMoveHeader[3]};
  std::size_t at = kMoveHeader.size();
  for (const std::int16_t distance : {dx, dy, dz}) {
    const auto bits = static_cast<std::uint16_t>(distance);
    packet[at++] = static_cast<std::uint8_t>(bits >> 8);
    packet[at++] = static_cast<std::uint8_t>(bits & 0xFF);
  }
  return packet;
}

std::array<std::uint8_t, kStatusSize> Board::Status() const {
  std::array<std::uint8_t, kStatusSize> packet{};
  packet[1] = IsBusy() ? kBusyBit : 0;
  packet[2] = inputs_;
  packet[3] = byte3_;
  packet[4] = MemoryAnswer();
  std::copy(memory_.begin() + kMirrorFirst, memory_.begin() + kMirrorLast + 1,
            packet.begin() + kMirrorFirst);
  std::size_t at = kPositionOffset;
  for (const Axis axis : {Axis::kX, Axis::kY, Axis::kZ}) {
    const std::uint16_t position = Position(axis);
    packet[at++] = static_cast<std::uint8_t>(position >> 8);
    packet[at++] = static_cast<std::uint8_t>(position & 0xFF);
  }
  return packet;
}

void Board::Receive(std::span<const std::uint8_t> packet) {
  if (Matches(packet, kMemoryWriteSize, kMemoryWriteHeader)) {
    ++counts_.memory_writes;
    memory_[packet[3]] = packet[4];
    BusyFor(timings_.memory_write);
  } else if (Matches(packet, kLongPacketSize, kMemoryReadHeader)) {
    ++counts_.memory_reads;
    memory_answer_ = MemoryAnswer();
    pending_answer_ = memory_[packet[5]];
    answer_ready_ = clock_.Now() + timings_.memory_read;
    BusyFor(timings_.memory_read);
  } else if (Matches(packet, kLongPacketSize, kHomeHeader)) {
    ++counts_.homes;
    StartMotion(Axis::kX, 0);
    StartMotion(Axis::kY, 0);
  } else if (Matches(packet, kMovePacketSize, kMoveHeader)) {
    ++counts_.moves;
    std::size_t at = kMoveHeader.size();
    for (const Axis axis : {Axis::kX, Axis::kY, Axis::kZ}) {
      const std::int32_t target = Position(axis) + SignedWord(packet[at], packet[at + 1]);
      at += 2;
      StartMotion(axis, static_cast<std::uint16_t>(std::clamp(target, 0, kAxisMax)));
    }
  } else {
    ++counts_.unknown;
  }
}

std::uint8_t Board::MemoryAnswer() const {
  return clock_.Now() >= answer_ready_ ? pending_answer_ : memory_answer_;
}

std::uint16_t Board::Position(Axis axis) const {
  const AxisMotion& motion = axes_[Index(axis)];
  const Micros now = clock_.Now();
  if (now >= motion.end) {
    return motion.to;
  }
  if (now <= motion.start) {
    return motion.from;
  }
  const std::int64_t span = (motion.end - motion.start).count();
  const std::int64_t done = (now - motion.start).count();
  const std::int64_t travel = std::int64_t{motion.to} - std::int64_t{motion.from};
  return static_cast<std::uint16_t>(std::int64_t{motion.from} + travel * done / span);
}

void Board::SetPosition(Axis axis, std::uint16_t value) {
  const Micros now = clock_.Now();
  axes_[Index(axis)] = AxisMotion{value, value, now, now};
}

void Board::StartMotion(Axis axis, std::uint16_t target) {
  const Micros now = clock_.Now();
  const std::uint16_t from = Position(axis);
  Micros duration{0};
  if (timings_.axis_speed != 0) {
    const std::int64_t distance = std::abs(std::int64_t{target} - std::int64_t{from});
    // Rounded up, so that an axis that has to move takes at least a microsecond.
    duration = Micros{(distance * 1'000'000 + timings_.axis_speed - 1) / timings_.axis_speed};
  }
  axes_[Index(axis)] = AxisMotion{from, target, now, now + duration};
}

void Board::BusyFor(Micros duration) {
  busy_until_ = std::max(busy_until_, clock_.Now() + duration);
}

bool Board::IsBusy() const {
  if (stuck_busy_) {
    return true;
  }
  const Micros now = clock_.Now();
  return now < busy_until_ || std::any_of(axes_.begin(), axes_.end(),
                                          [now](const AxisMotion& m) { return now < m.end; });
}

}  // namespace korimo::sim
