// The device channel: moves raw packets between the tool and the controller
// board through the device file. No handle outlives the call that opened it.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "device/ports.h"

namespace korimo {

inline constexpr std::size_t kWriteChunkSize = 1000;

class modStream {
 public:
  modStream(DeviceFiles& files, EventPump& pump) : files_(files), pump_(pump) {}

  // Opens `path` exclusively, reads buffer.size() bytes in one call and closes.
  // A failed open leaves the buffer as the caller passed it; a short read
  // leaves its tail. Nothing is reported.
  void ReadPacket(const std::string& path, std::span<std::uint8_t> buffer);

  // Probe open, then chunks of 1000 bytes and a remainder, each on a fresh
  // handle, flushed on success. A failed probe drops the packet; a failed chunk
  // costs that chunk only, after one turn of the event loop. Nothing is retried.
  // Returns true when the probe and every chunk's open, write and flush
  // succeeded: the packet was delivered whole. An empty path delivers nothing.
  [[nodiscard]] bool WritePacket(const std::string& path, std::span<const std::uint8_t> buffer);

 private:
  bool WriteChunk(const std::string& path, std::span<const std::uint8_t> chunk);

  DeviceFiles& files_;
  EventPump& pump_;
};

// Byte `index` (0 = least significant) of the IEEE 754 single representation
// of `value`. Indexes outside 0..3 give 0.
std::uint8_t ByteOf(float value, std::int16_t index);

}  // namespace korimo
