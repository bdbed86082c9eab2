// The engraver on Linux: found and driven over USB with libusb.
//
// Discovery scans the bus for vendor 0x7e21 / product 0x0065 and takes the
// first engraver by bus number, then port path (or the chosen one). Its device
// path names it as a technician finds it: "usb:3-2 (/dev/bus/usb/003/007)"; a
// choice is found by its port (EngraverPort), so it survives a replug.
//
// The device files keep the core's per-call open/close, but a USB open and the
// claim of interface 0 happen once, when discovery first finds the engraver:
// the handle is held while the engraver stays present and dropped on the first
// failed transfer or when the engraver is gone (the next search opens it
// again). An Open of the device path only hands out a token for the held
// handle. A write is bulk OUT in chunks of 1000 bytes, a read bulk IN of
// exactly the buffer's length (fewer bytes is a failed read that leaves the
// buffer untouched); every transfer has a time limit, and running out of it is
// a failed transfer.
#pragma once

#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "device/ports.h"

struct libusb_context;
struct libusb_device;

namespace korimo::usb {

inline constexpr std::uint16_t kEngraverVendor = 0x7e21;
inline constexpr std::uint16_t kEngraverProduct = 0x0065;
inline constexpr int kEngraverInterface = 0;
inline constexpr std::size_t kUsbChunkSize = 1000;

struct UsbOptions {
  // The time limit of every transfer.
  std::chrono::milliseconds transfer_timeout{1000};
};

class UsbEngraver final : public EngraverFinder, public DeviceFiles {
 public:
  // Starts libusb. When it cannot start, nothing is ever found and Trouble()
  // says why.
  explicit UsbEngraver(UsbOptions options = {});
  ~UsbEngraver() override;
  UsbEngraver(const UsbEngraver&) = delete;
  UsbEngraver& operator=(const UsbEngraver&) = delete;

  // EngraverFinder.
  std::string FindDevicePath(std::string_view chosen) override;
  std::string Trouble() const override { return trouble_; }
  // Every engraver is opened and claimed once to learn whether it can be used;
  // the one held stays held.
  std::vector<FoundEngraver> ListEngravers() override;

  // DeviceFiles. The open parameters mean nothing to USB and are not looked at.
  std::optional<FileHandle> Open(const std::string& path, const OpenParameters& params) override;
  std::optional<std::size_t> Read(FileHandle file, std::span<std::uint8_t> buffer) override;
  bool Write(FileHandle file, std::span<const std::uint8_t> bytes) override;
  // Every transfer has ended when its call returns.
  bool Flush(FileHandle file) override { return Live(file) != nullptr; }
  void Close(FileHandle file) override { tokens_.erase(file); }

  // Whether an engraver is held open and claimed now.
  bool Holding() const { return held_ != nullptr; }

 private:
  struct Held;
  struct Candidate;

  // The engravers on the bus, sorted; `list` must be freed by the caller.
  std::vector<Candidate> Scan(libusb_device**& list);
  // Opens and claims the engraver; nothing, with `trouble` set, when it cannot.
  // Letting go of a Held releases the engraver.
  std::unique_ptr<Held> Claim(const Candidate& engraver, std::string& trouble);
  Held* Live(FileHandle file);
  // One bulk transfer of exactly `size` bytes on the held engraver; a failed
  // transfer lets go of it.
  bool Transfer(unsigned char endpoint, unsigned char* data, std::size_t size);

  UsbOptions options_;
  libusb_context* context_ = nullptr;
  std::string start_trouble_;  // why libusb could not start
  std::string trouble_;
  std::unique_ptr<Held> held_;
  std::uint64_t generation_ = 0;  // one per hold; tokens of an older hold are dead
  std::map<FileHandle, std::uint64_t> tokens_;
  FileHandle next_token_ = 1;
};

}  // namespace korimo::usb
