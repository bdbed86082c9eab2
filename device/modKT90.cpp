#include "device/modKT90.h"

#include <vector>

#include "device/hex.h"

namespace korimo {

// The long commands: six bytes that say it all, zeros to the end.
std::array<std::uint8_t, kLongCommandSize> HomePacket() {
  return {0x00, 0x20, 0x01, 0x00, 0x10, 0x00};
}

std::array<std::uint8_t, kLongCommandSize> MemoryReadPacket(std::uint8_t address) {
  return {0x00, 0x20, 0x03, 0xFF, 0x00, address};
}

std::array<std::uint8_t, kMemoryWriteSize> MemoryWritePacket(std::uint8_t address,
                                                             std::uint8_t value) {
  return {0x00, 0x04, 0x03, address, value, 0x00};
}

std::string HexByte(std::uint8_t value) {
  return "0x" + HexDigits(value);
}

std::string FormatMemoryRow(std::uint8_t first, std::span<const std::uint8_t> values) {
  std::string row = HexByte(first) + ":";
  for (const std::uint8_t value : values) {
    row += " " + HexByte(value);
  }
  return row;
}

modKT90::modKT90(EngraverFinder& finder, DeviceFiles& files, EventPump& pump, std::string engraver)
    : finder_(finder), engraver_(std::move(engraver)), stream_(files, pump), pump_(pump) {}

bool modKT90::IsDeviceConnected() {
  device_path_ = finder_.FindDevicePath(engraver_);
  device_trouble_ = finder_.Trouble();
  return !device_path_.empty();
}

std::optional<StatusPacket> modKT90::ReadStatusPacket() {
  for (int attempt = 1;; ++attempt) {
    StatusPacket packet{};
    if (stream_.ReadPacket(device_path_, packet)) {
      no_answer_in_use_ = false;
      return packet;
    }
    // With no device path there is nobody to ask again.
    if (attempt == kStatusTries || device_path_.empty()) {
      no_answer_in_use_ = stream_.LastReadRefusedInUse();
      return std::nullopt;
    }
    pump_.Pause(kStatusRetryPause);
  }
}

BusyState modKT90::IsControllerBusy() {
  const std::optional<StatusPacket> packet = ReadStatusPacket();
  if (!packet) {
    return BusyState::kNoAnswer;
  }
  return ((*packet)[status::kBusyByte] & status::kBusyBit) != 0 ? BusyState::kBusy
                                                                : BusyState::kIdle;
}

std::optional<std::uint8_t> modKT90::GetStatusByte(std::uint8_t offset) {
  const std::optional<StatusPacket> packet =
      offset < kStatusPacketSize ? ReadStatusPacket() : std::nullopt;
  return packet ? std::optional((*packet)[offset]) : std::nullopt;
}

std::optional<std::int32_t> modKT90::GetStatusWord(std::uint8_t offset) {
  const std::optional<StatusPacket> packet =
      offset + 1u < kStatusPacketSize ? ReadStatusPacket() : std::nullopt;
  return packet ? std::optional((*packet)[offset] * 256 + (*packet)[offset + 1u]) : std::nullopt;
}

bool modKT90::WriteEEPromByte(std::uint8_t address, std::uint8_t value) {
  return WaitWhileBusy() && stream_.WritePacket(device_path_, MemoryWritePacket(address, value));
}

std::optional<std::uint8_t> modKT90::ReadEEPromByte(std::uint8_t address) {
  // A request that did not reach the engraver has no answer: byte 4 of the
  // next status packet would still answer the previous request.
  if (!WaitWhileBusy() || !stream_.WritePacket(device_path_, MemoryReadPacket(address)) ||
      !WaitWhileBusy()) {
    return std::nullopt;
  }
  return GetStatusByte(status::kMemoryAnswer);
}

std::optional<std::string> modKT90::FormatEEPromRow(std::uint8_t first, std::uint8_t last) {
  std::vector<std::uint8_t> values;
  for (unsigned address = first; address <= last; ++address) {
    const std::optional<std::uint8_t> value = ReadEEPromByte(static_cast<std::uint8_t>(address));
    if (!value) {
      return std::nullopt;
    }
    values.push_back(*value);
  }
  return FormatMemoryRow(first, values);
}

bool modKT90::WaitWhileBusy() {
  for (;;) {
    pump_.DoEvents();
    const BusyState state = IsControllerBusy();
    if (state == BusyState::kIdle) {
      return true;
    }
    if (state == BusyState::kNoAnswer) {
      return false;  // nothing says the controller is ready: the command is not sent
    }
    if (give_up_ && give_up_()) {
      wait_gave_up_ = true;
      return false;
    }
  }
}

}  // namespace korimo
