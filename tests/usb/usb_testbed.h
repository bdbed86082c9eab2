// Simulated engravers on the USB bus, for tests and probes of the libusb back
// end. umockdev (run the program under umockdev-wrapper) puts a fake sysfs and
// /dev in front of libusb; each engraver's device node is answered by an ioctl
// handler that speaks usbdevfs and hands the bulk packets to a sim::Board, so
// the back end talks real libusb to the project's own board.
//
// The handler runs on umockdev's worker thread: everything it shares with the
// test is guarded by the engraver's mutex. Construct the UsbTestbed before the
// first libusb_init of the process (before any usb::UsbEngraver).
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "sim/board.h"
#include "sim/clock.h"

typedef struct _UMockdevTestbed UMockdevTestbed;
typedef struct _UMockdevIoctlBase UMockdevIoctlBase;
typedef struct _UMockdevIoctlClient UMockdevIoctlClient;

namespace korimo::usbtest {

// Where an engraver sits on the bus, and its bulk endpoints.
struct UsbPlace {
  unsigned bus = 3;
  unsigned address = 7;
  std::string ports = "2";  // "2", or "1.4" behind a hub
  // Not the usual 0x01 / 0x81: the back end has to read them from the descriptors.
  std::uint8_t out_endpoint = 0x06;
  std::uint8_t in_endpoint = 0x85;

  std::string Node() const;        // "/dev/bus/usb/003/007"
  std::string SysPath() const;     // "/sys/devices/.../usb3/3-2"
  std::string DevicePath() const;  // what the back end names it: "usb:3-2 (/dev/bus/usb/003/007)"
};

// What goes wrong on the wire.
enum class UsbFault {
  kNone,
  kNoReply,        // submitted urbs never complete (the transfer times out)
  kShortStatus,    // status packets come back with short_length bytes
  kInterfaceBusy,  // claiming interface 0 fails: another program holds it
  kGone,           // unplugged: every ioctl fails with ENODEV
  kKernelDriver,   // the kernel driver usblp holds interface 0 and will not let go
};

// One engraver: a board behind the usbdevfs ioctls of its node.
class UsbBoard {
 public:
  explicit UsbBoard(UsbPlace place = {});
  ~UsbBoard();
  UsbBoard(const UsbBoard&) = delete;
  UsbBoard& operator=(const UsbBoard&) = delete;

  const UsbPlace& Place() const { return place_; }

  // The board and the handler's state: lock while touching them from the test.
  std::unique_lock<std::mutex> Lock() { return std::unique_lock<std::mutex>(mutex_); }
  sim::Board& Board() { return board_; }

  void SetFault(UsbFault fault, std::size_t short_length = 0);
  // The engraver vanishes (kGone) when the n-th further OUT packet arrives; that
  // packet never reaches the board.
  void GoneAtPacket(std::size_t n);

  // Requests seen (ioctl number -> count), and the OUT packets the board took.
  std::map<unsigned long, std::uint32_t> Ioctls();
  std::uint32_t IoctlCount(unsigned long request);
  std::uint32_t TotalIoctls();
  void ResetIoctls();
  std::vector<std::vector<std::uint8_t>> Packets();

  UMockdevIoctlBase* Handler() const { return handler_; }

 private:
  static int HandleIoctl(UMockdevIoctlBase* handler, UMockdevIoctlClient* client, void* self);
  bool Handle(UMockdevIoctlClient* client);
  bool Submit(UMockdevIoctlClient* client);
  bool Reap(UMockdevIoctlClient* client);
  bool Discard(UMockdevIoctlClient* client);

  UsbPlace place_;
  std::mutex mutex_;
  sim::ManualClock clock_;
  sim::Board board_;
  UMockdevIoctlBase* handler_ = nullptr;
  UsbFault fault_ = UsbFault::kNone;
  std::size_t short_length_ = 0;
  std::size_t gone_countdown_ = 0;  // 0: never
  std::map<unsigned long, std::uint32_t> ioctls_;
  std::vector<std::vector<std::uint8_t>> packets_;
  struct Urbs;
  std::unique_ptr<Urbs> urbs_;
};

class UsbTestbed {
 public:
  UsbTestbed();
  ~UsbTestbed();
  UsbTestbed(const UsbTestbed&) = delete;
  UsbTestbed& operator=(const UsbTestbed&) = delete;

  // Plugs the engraver in (its node answered by the board's handler).
  void Plug(UsbBoard& board);
  // Unplugs it: the "remove" event, then the device leaves sysfs and /dev.
  void Unplug(UsbBoard& board);

  // Sets the permission bits of the engraver's device node in the testbed.
  void ChangeMode(const UsbBoard& board, unsigned mode);

 private:
  UMockdevTestbed* testbed_ = nullptr;
};

}  // namespace korimo::usbtest
