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
  // True only when the whole buffer arrived. A failed open, a failed read and a
  // short read are no answer (the buffer's contents are then not the
  // engraver's); an empty path is no answer at once, without an open.
  [[nodiscard]] bool ReadPacket(const std::string& path, std::span<std::uint8_t> buffer);

  // True when the last read that got no answer failed because another program
  // holds the device.
  bool LastReadRefusedInUse() const { return read_refused_in_use_; }

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
  bool read_refused_in_use_ = false;
};

}  // namespace korimo
