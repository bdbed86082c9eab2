// The controller command set: builds the command packets, decodes the status
// packet and owns DevicePath, the one piece of link state. Windows and the
// command-line tool reach the board only through this class.
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "device/modStream.h"
#include "device/ports.h"

namespace korimo {

inline constexpr std::size_t kStatusPacketSize = 33;
inline constexpr std::size_t kLongCommandSize = 34;
inline constexpr std::size_t kMemoryWriteSize = 6;

using StatusPacket = std::array<std::uint8_t, kStatusPacketSize>;

// Offsets of the status packet.
namespace status {
inline constexpr std::uint8_t kBusyByte = 1;
inline constexpr std::uint8_t kBusyBit = 0x80;
inline constexpr std::uint8_t kInputs = 2;
inline constexpr std::uint8_t kUnusedByte3 = 3;
inline constexpr std::uint8_t kMemoryAnswer = 4;
inline constexpr std::uint8_t kSerialNumber = 5;
inline constexpr std::uint8_t kModelCode = 7;
inline constexpr std::uint8_t kZSpeed = 12;
inline constexpr std::uint8_t kMaxZ = 14;
inline constexpr std::uint8_t kMaxX = 16;
inline constexpr std::uint8_t kMaxY = 18;
inline constexpr std::uint8_t kRasterSpeed = 20;
inline constexpr std::uint8_t kVectorSpeed = 22;
inline constexpr std::uint8_t kPositionX = 24;
inline constexpr std::uint8_t kPositionY = 26;
inline constexpr std::uint8_t kPositionZ = 28;
}  // namespace status

// Input bits of status byte 2.
namespace inputs {
inline constexpr std::uint8_t kPowerKey = 0x01;
inline constexpr std::uint8_t kDownKey = 0x02;
inline constexpr std::uint8_t kUpKey = 0x04;
inline constexpr std::uint8_t kPauseKey = 0x08;
inline constexpr std::uint8_t kStartKey = 0x10;
inline constexpr std::uint8_t kTable0 = 0x20;
inline constexpr std::uint8_t kTable1 = 0x40;

struct NamedInput {
  std::string_view name;
  std::uint8_t bit;
};

// The inputs by name, as the I/O window shows them: the keypad's keys top to
// bottom (the first kKeyCount), then the table sensors.
inline constexpr std::size_t kKeyCount = 5;
inline constexpr std::array<NamedInput, 7> kNamed{{
    {"POWER", kPowerKey},
    {"UP", kUpKey},
    {"DOWN", kDownKey},
    {"PAUSE", kPauseKey},
    {"START", kStartKey},
    {"Table.0", kTable0},
    {"Table.1", kTable1},
}};
}  // namespace inputs

// The command packets, byte for byte.
std::array<std::uint8_t, kLongCommandSize> HomePacket();
std::array<std::uint8_t, kLongCommandSize> MemoryReadPacket(std::uint8_t address);
std::array<std::uint8_t, kMemoryWriteSize> MemoryWritePacket(std::uint8_t address,
                                                             std::uint8_t value);

// "0x" and two upper-case hexadecimal digits: 10 gives "0x0A".
std::string HexByte(std::uint8_t value);

// One row of parameter memory: HexByte(first), ":" and a blank and HexByte of
// each value in turn.
std::string FormatMemoryRow(std::uint8_t first, std::span<const std::uint8_t> values);

// A status packet that did not arrive whole is asked for again: this many
// tries in all, with a pause between two tries that lets pending events run.
// A query that gets no answer on any try costs kStatusTries reads and
// kStatusTries - 1 pauses (about 4 ms of pause in all), far below the 100 ms
// by which a technician would notice it. An empty DevicePath is no answer at
// once, with no try again.
inline constexpr int kStatusTries = 3;
inline constexpr std::chrono::milliseconds kStatusRetryPause{2};

// The busy test has three outcomes: a whole packet said idle or busy, or no
// packet arrived whole after every try.
enum class BusyState { kIdle, kBusy, kNoAnswer };

// Why the engraver gave no answer, where the platform said so.
inline constexpr std::string_view kEngraverInUse = "another program has the engraver open";

class modKT90 {
 public:
  // Finds the engraver through `finder`: the one listed at `engraver`, or the
  // first one when it is empty. Which engraver it is never changes.
  modKT90(EngraverFinder& finder, DeviceFiles& files, EventPump& pump, std::string engraver = {});

  // The engraver's device path as last found; empty when none.
  const std::string& DevicePath() const { return device_path_; }
  // Why an engraver that is present cannot be used, as last found; empty when
  // there is no such engraver.
  const std::string& DeviceTrouble() const { return device_trouble_; }

  // Looks for the engraver, stores the result in DevicePath (and DeviceTrouble)
  // and says whether one was found. No packet is exchanged.
  bool IsDeviceConnected();

  // Each query reads one fresh status packet, asking again up to kStatusTries
  // times while it does not arrive whole. No value when no try got an answer:
  // a missing engraver, an empty DevicePath, a failed open or a short read
  // never reads as a zero. An offset past the packet reads nothing and gives
  // no value.
  BusyState IsControllerBusy();
  std::optional<std::uint8_t> GetStatusByte(std::uint8_t offset);
  std::optional<std::int32_t> GetStatusWord(std::uint8_t offset);  // 0..65535, high byte first
  // One fresh status packet, whole, tried as every query is: the one place
  // that asks again, giving none after kStatusTries tries.
  std::optional<StatusPacket> ReadStatusPacket();

  std::optional<std::uint8_t> GetModelCode() { return GetStatusByte(status::kModelCode); }
  std::optional<std::int32_t> GetSerialNumber() { return GetStatusWord(status::kSerialNumber); }
  std::optional<std::int32_t> GetZSpeed() { return GetStatusWord(status::kZSpeed); }
  std::optional<std::int32_t> GetMaxZ() { return GetStatusWord(status::kMaxZ); }
  std::optional<std::int32_t> GetMaxX() { return GetStatusWord(status::kMaxX); }
  std::optional<std::int32_t> GetMaxY() { return GetStatusWord(status::kMaxY); }
  std::optional<std::int32_t> GetRasterSpeed() { return GetStatusWord(status::kRasterSpeed); }
  std::optional<std::int32_t> GetVectorSpeed() { return GetStatusWord(status::kVectorSpeed); }
  std::optional<std::int32_t> GetPositionX() { return GetStatusWord(status::kPositionX); }
  std::optional<std::int32_t> GetPositionY() { return GetStatusWord(status::kPositionY); }
  std::optional<std::int32_t> GetPositionZ() { return GetStatusWord(status::kPositionZ); }

  // Why the last query that got no answer got none, as words for the user
  // (kEngraverInUse), or empty when the platform did not say.
  std::string_view NoAnswerReason() const { return no_answer_in_use_ ? kEngraverInUse : ""; }

  // Sends the home packet at once, busy or not.
  void HomeXY() { (void)stream_.WritePacket(device_path_, HomePacket()); }
  // Waits while busy, then sends the 6-byte write. Never read back. Returns
  // whether the write was delivered to the device file whole (open, write and
  // flush succeeded); false with no engraver, when the wait gave up, or when
  // the busy test got no answer (the write is then not sent).
  bool WriteEEPromByte(std::uint8_t address, std::uint8_t value);
  // Waits while busy, sends the read request, waits again, returns byte 4 of a
  // fresh status packet. No value when a wait ended without an idle answer, the
  // request was not delivered whole, or the reply did not arrive whole.
  std::optional<std::uint8_t> ReadEEPromByte(std::uint8_t address);

  // "0x20: 0x01 0x02 ..." for the addresses first..last (never wrapping past
  // 0xFF); no row when a cell got no answer.
  std::optional<std::string> FormatEEPromRow(std::uint8_t first, std::uint8_t last);

  // The event pump that every wait yields to.
  EventPump& Pump() { return pump_; }

  // Hands a ready-made packet (a movement record) to the channel; true when it
  // was delivered whole.
  bool SendPacket(std::span<const std::uint8_t> packet) {
    return stream_.WritePacket(device_path_, packet);
  }

  // Lets the event loop run once, then reads the busy flag; repeats while busy.
  // True once a whole packet said idle; false when the busy test got no answer
  // or the wait limit gave up.
  bool WaitWhileBusy();

  // The windows wait without limit. A caller with no way to cancel a wait (the
  // command-line tool) installs a limit: it is asked once per poll while the
  // board is busy and gives up the wait by returning true. A command whose wait
  // was given up is not sent, and WaitGaveUp() stays true until cleared.
  void SetWaitLimit(std::function<bool()> give_up) { give_up_ = std::move(give_up); }
  bool WaitGaveUp() const { return wait_gave_up_; }
  void ClearWaitGaveUp() { wait_gave_up_ = false; }

 private:
  EngraverFinder& finder_;
  const std::string engraver_;  // as listed; empty for the first one
  modStream stream_;
  EventPump& pump_;
  std::string device_path_;
  std::string device_trouble_;
  std::function<bool()> give_up_;
  bool wait_gave_up_ = false;
  bool no_answer_in_use_ = false;
};

}  // namespace korimo
