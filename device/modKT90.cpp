#include "device/modKT90.h"

namespace korimo {

std::array<std::uint8_t, kLongCommandSize> HomePacket() {
  std::array<std::uint8_t, kLongCommandSize> packet{};
  packet[0] = 0x00;
  packet[1] = 0x20;
  packet[2] = 0x01;
  packet[3] = 0x00;
  packet[4] = 0x10;
  packet[5] = 0x00;
  return packet;
}

std::array<std::uint8_t, kLongCommandSize> MemoryReadPacket(std::uint8_t address) {
  std::array<std::uint8_t, kLongCommandSize> packet{};
  packet[0] = 0x00;
  packet[1] = 0x20;
  packet[2] = 0x03;
  packet[3] = 0xFF;
  packet[4] = 0x00;
  packet[5] = address;
  return packet;
}

std::array<std::uint8_t, kMemoryWriteSize> MemoryWritePacket(std::uint8_t address,
                                                             std::uint8_t value) {
  return {0x00, 0x04, 0x03, address, value, 0x00};
}

std::string HexByte(std::uint8_t value) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  return {'0', 'x', kDigits[value >> 4], kDigits[value & 0x0F]};
}

modKT90::modKT90(DeviceCatalogue& catalogue, DeviceFiles& files, EventPump& pump)
    : own_finder_(std::make_unique<RegistryFinder>(catalogue)),
      finder_(*own_finder_),
      stream_(files, pump),
      pump_(pump) {}

modKT90::modKT90(EngraverFinder& finder, DeviceFiles& files, EventPump& pump)
    : finder_(finder), stream_(files, pump), pump_(pump) {}

bool modKT90::IsDeviceConnected() {
  device_path_ = finder_.FindDevicePath();
  device_trouble_ = finder_.Trouble();
  return !device_path_.empty();
}

StatusPacket modKT90::ReadStatus() {
  StatusPacket packet{};
  stream_.ReadPacket(device_path_, packet);
  return packet;
}

bool modKT90::IsControllerBusy() {
  return (ReadStatus()[status::kBusyByte] & status::kBusyBit) != 0;
}

std::uint8_t modKT90::GetStatusByte(std::uint8_t offset) {
  const StatusPacket packet = ReadStatus();
  return offset < packet.size() ? packet[offset] : std::uint8_t{0};
}

std::int32_t modKT90::GetStatusWord(std::uint8_t offset) {
  const StatusPacket packet = ReadStatus();
  if (offset + 1u >= packet.size()) {
    return 0;
  }
  return packet[offset] * 256 + packet[offset + 1u];
}

void modKT90::HomeXY() {
  (void)stream_.WritePacket(device_path_, HomePacket());
}

bool modKT90::WriteEEPromByte(std::uint8_t address, std::uint8_t value) {
  if (!WaitWhileBusy()) {
    return false;
  }
  return stream_.WritePacket(device_path_, MemoryWritePacket(address, value));
}

std::uint8_t modKT90::ReadEEPromByte(std::uint8_t address) {
  if (!WaitWhileBusy()) {
    return 0;
  }
  (void)stream_.WritePacket(device_path_, MemoryReadPacket(address));
  if (!WaitWhileBusy()) {
    return 0;
  }
  return ReadStatus()[status::kMemoryAnswer];
}

std::string modKT90::FormatEEPromRow(std::uint8_t first, std::uint8_t last) {
  std::string row = HexByte(first) + ":";
  for (unsigned address = first; address <= last; ++address) {
    row += ' ';
    row += HexByte(ReadEEPromByte(static_cast<std::uint8_t>(address)));
  }
  return row;
}

bool modKT90::SendPacket(std::span<const std::uint8_t> packet) {
  return stream_.WritePacket(device_path_, packet);
}

bool modKT90::WaitWhileBusy() {
  for (;;) {
    pump_.DoEvents();
    if (!IsControllerBusy()) {
      return true;
    }
    if (give_up_ && give_up_()) {
      wait_gave_up_ = true;
      return false;
    }
  }
}

}  // namespace korimo
