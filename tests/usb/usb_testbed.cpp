#include "usb_testbed.h"

#include <linux/ioctl.h>
#include <linux/usbdevice_fs.h>
#include <sys/stat.h>
#include <umockdev.h>

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <deque>
#include <stdexcept>

namespace korimo::usbtest {
namespace {

std::string Hex(const std::vector<std::uint8_t>& bytes) {
  std::string text;
  char digits[3];
  for (const std::uint8_t byte : bytes) {
    std::snprintf(digits, sizeof digits, "%02X", static_cast<unsigned>(byte));
    text += digits;
  }
  return text;
}

// Device, configuration, interface 0 (vendor class) and its two bulk endpoints
// with 64-byte packets.
std::vector<std::uint8_t> Descriptors(const UsbPlace& place) {
  return {0x12, 0x01, 0x00,
          0x02, 0x00, 0x00,
          0x00, 0x40, 0x21,
          0x7E, 0x65, 0x00,
          0x00, 0x01, 0x01,
          0x02, 0x00, 0x01,  // device
          0x09, 0x02, 0x20,
          0x00, 0x01, 0x01,
          0x00, 0x80, 0x32,  // configuration
          0x09, 0x04, 0x00,
          0x00, 0x02, 0xFF,
          0x00, 0x00, 0x00,  // interface 0
          0x07, 0x05, place.out_endpoint,
          0x02, 0x40, 0x00,
          0x00,  // bulk OUT
          0x07, 0x05, place.in_endpoint,
          0x02, 0x40, 0x00,
          0x00};  // bulk IN
}

std::string Description(const UsbPlace& place) {
  char numbers[64];
  std::snprintf(numbers, sizeof numbers, "%03u/%03u", place.bus, place.address);
  const std::string bus_device = numbers;
  const unsigned minor = (place.bus - 1) * 128 + (place.address - 1);
  const std::string hex = Hex(Descriptors(place));
  std::string text;
  text += "P: " + place.SysPath().substr(4) + "\n";  // without "/sys"
  text += "N: bus/usb/" + bus_device + "=" + hex + "\n";
  text += "E: DEVNAME=" + place.Node() + "\n";
  text += "E: DEVTYPE=usb_device\nE: DRIVER=usb\n";
  text += "E: BUSNUM=" + bus_device.substr(0, 3) + "\nE: DEVNUM=" + bus_device.substr(4) + "\n";
  text += "E: MAJOR=189\nE: MINOR=" + std::to_string(minor) + "\n";
  text += "E: PRODUCT=7e21/65/100\nE: SUBSYSTEM=usb\n";
  text += "A: busnum=" + std::to_string(place.bus) + "\\n\n";
  text += "A: devnum=" + std::to_string(place.address) + "\\n\n";
  text += "A: dev=189:" + std::to_string(minor) + "\n";
  text += "A: idVendor=7e21\nA: idProduct=0065\nA: bConfigurationValue=1\n";
  text += "A: bNumConfigurations=1\nA: speed=12\n";
  text += "H: descriptors=" + hex + "\n";
  return text;
}

}  // namespace

std::string UsbPlace::Node() const {
  char node[32];
  std::snprintf(node, sizeof node, "/dev/bus/usb/%03u/%03u", bus, address);
  return node;
}

std::string UsbPlace::SysPath() const {
  const std::string root = std::to_string(bus);
  return "/sys/devices/pci0000:00/0000:00:14.0/usb" + root + "/" + root + "-" + ports;
}

std::string UsbPlace::DevicePath() const {
  return "usb:" + std::to_string(bus) + "-" + ports + " (" + Node() + ")";
}

// Urbs in flight (submitted, not answered) and answered (waiting to be reaped).
struct UsbBoard::Urbs {
  std::deque<UMockdevIoctlData*> flying;
  std::deque<UMockdevIoctlData*> done;

  ~Urbs() {
    for (UMockdevIoctlData* urb : flying) {
      umockdev_ioctl_data_unref(urb);
    }
    for (UMockdevIoctlData* urb : done) {
      umockdev_ioctl_data_unref(urb);
    }
  }
};

UsbBoard::UsbBoard(UsbPlace place)
    : place_(std::move(place)),
      board_(clock_, sim::BoardTimings{sim::Micros{0}, sim::Micros{0}, 20000}),
      handler_(umockdev_ioctl_base_new()),
      urbs_(std::make_unique<Urbs>()) {
  g_signal_connect_data(handler_, "handle-ioctl", reinterpret_cast<GCallback>(&HandleIoctl), this,
                        nullptr, GConnectFlags{});
}

UsbBoard::~UsbBoard() {
  g_object_unref(handler_);
}

void UsbBoard::SetFault(UsbFault fault, std::size_t short_length) {
  const std::lock_guard<std::mutex> lock(mutex_);
  fault_ = fault;
  short_length_ = short_length;
}

void UsbBoard::GoneAtPacket(std::size_t n) {
  const std::lock_guard<std::mutex> lock(mutex_);
  gone_countdown_ = n;
}

std::map<unsigned long, std::uint32_t> UsbBoard::Ioctls() {
  const std::lock_guard<std::mutex> lock(mutex_);
  return ioctls_;
}

std::uint32_t UsbBoard::IoctlCount(unsigned long request) {
  const std::lock_guard<std::mutex> lock(mutex_);
  const auto found = ioctls_.find(request);
  return found == ioctls_.end() ? 0 : found->second;
}

std::uint32_t UsbBoard::TotalIoctls() {
  const std::lock_guard<std::mutex> lock(mutex_);
  std::uint32_t total = 0;
  for (const auto& [request, count] : ioctls_) {
    total += count;
  }
  return total;
}

void UsbBoard::ResetIoctls() {
  const std::lock_guard<std::mutex> lock(mutex_);
  ioctls_.clear();
}

std::vector<std::vector<std::uint8_t>> UsbBoard::Packets() {
  const std::lock_guard<std::mutex> lock(mutex_);
  return packets_;
}

int UsbBoard::HandleIoctl(UMockdevIoctlBase* /*handler*/, UMockdevIoctlClient* client, void* self) {
  return static_cast<UsbBoard*>(self)->Handle(client) ? TRUE : FALSE;
}

bool UsbBoard::Handle(UMockdevIoctlClient* client) {
  const unsigned long request = umockdev_ioctl_client_get_request(client);
  UMockdevIoctlData* arg = umockdev_ioctl_client_get_arg(client);
  const std::lock_guard<std::mutex> lock(mutex_);
  ++ioctls_[request];
  if (fault_ == UsbFault::kGone) {
    umockdev_ioctl_client_complete(client, -1, ENODEV);
    return true;
  }
  switch (request) {
    case USBDEVFS_GET_CAPABILITIES: {
      UMockdevIoctlData* caps = umockdev_ioctl_data_resolve(arg, 0, sizeof(std::uint32_t), nullptr);
      const std::uint32_t bits = USBDEVFS_CAP_BULK_CONTINUATION | USBDEVFS_CAP_NO_PACKET_SIZE_LIM |
                                 USBDEVFS_CAP_REAP_AFTER_DISCONNECT | USBDEVFS_CAP_ZERO_PACKET;
      std::memcpy(caps->data, &bits, sizeof bits);
      umockdev_ioctl_client_complete(client, 0, 0);
      umockdev_ioctl_data_unref(caps);
      return true;
    }
    case USBDEVFS_GETDRIVER:
      if (fault_ == UsbFault::kKernelDriver) {
        UMockdevIoctlData* driver =
            umockdev_ioctl_data_resolve(arg, 0, sizeof(usbdevfs_getdriver), nullptr);
        std::strcpy(reinterpret_cast<usbdevfs_getdriver*>(driver->data)->driver, "usblp");
        umockdev_ioctl_client_complete(client, 0, 0);
        umockdev_ioctl_data_unref(driver);
      } else {
        umockdev_ioctl_client_complete(client, -1, ENODATA);  // no kernel driver bound
      }
      return true;
    case USBDEVFS_IOCTL:  // the detach of a kernel driver: refused
      umockdev_ioctl_client_complete(client, -1, EPERM);
      return true;
    case USBDEVFS_CLAIMINTERFACE:
      if (fault_ == UsbFault::kInterfaceBusy) {
        umockdev_ioctl_client_complete(client, -1, EBUSY);
      } else {
        umockdev_ioctl_client_complete(client, 0, 0);
      }
      return true;
    case USBDEVFS_RELEASEINTERFACE:
    case USBDEVFS_CLEAR_HALT:
    case USBDEVFS_RESETEP:
    case USBDEVFS_RESET:
      umockdev_ioctl_client_complete(client, 0, 0);
      return true;
    case USBDEVFS_SUBMITURB:
      return Submit(client);
    case USBDEVFS_REAPURB:
    case USBDEVFS_REAPURBNDELAY:
      return Reap(client);
    case USBDEVFS_DISCARDURB:
      return Discard(client);
    default:
      return false;
  }
}

bool UsbBoard::Submit(UMockdevIoctlClient* client) {
  UMockdevIoctlData* arg = umockdev_ioctl_client_get_arg(client);
  UMockdevIoctlData* urb_data = umockdev_ioctl_data_resolve(arg, 0, sizeof(usbdevfs_urb), nullptr);
  auto* urb = reinterpret_cast<usbdevfs_urb*>(urb_data->data);
  const bool out = urb->endpoint == place_.out_endpoint;
  const bool in = urb->endpoint == place_.in_endpoint;
  if (urb->type != USBDEVFS_URB_TYPE_BULK || (!out && !in) || urb->buffer_length < 0) {
    umockdev_ioctl_data_unref(urb_data);
    umockdev_ioctl_client_complete(client, -1, ENOENT);
    return true;
  }
  const auto length = static_cast<std::size_t>(urb->buffer_length);
  UMockdevIoctlData* buffer =
      umockdev_ioctl_data_resolve(urb_data, offsetof(usbdevfs_urb, buffer), length, nullptr);
  if (out && gone_countdown_ != 0 && --gone_countdown_ == 0) {
    fault_ = UsbFault::kGone;
    umockdev_ioctl_data_unref(buffer);
    umockdev_ioctl_data_unref(urb_data);
    umockdev_ioctl_client_complete(client, -1, ENODEV);
    return true;
  }
  if (fault_ == UsbFault::kNoReply) {
    urbs_->flying.push_back(urb_data);
  } else {
    if (out) {
      std::vector<std::uint8_t> packet(buffer->data, buffer->data + length);
      board_.Receive(packet);
      packets_.push_back(std::move(packet));
      urb->actual_length = urb->buffer_length;
    } else {
      const std::array<std::uint8_t, sim::kStatusSize> status = board_.Status();
      std::size_t n = std::min(length, status.size());
      if (fault_ == UsbFault::kShortStatus) {
        n = std::min(n, short_length_);
      }
      std::memcpy(buffer->data, status.data(), n);
      urb->actual_length = static_cast<int>(n);
    }
    urb->status = 0;
    urbs_->done.push_back(urb_data);
  }
  umockdev_ioctl_client_complete(client, 0, 0);
  umockdev_ioctl_data_unref(buffer);
  return true;
}

bool UsbBoard::Reap(UMockdevIoctlClient* client) {
  if (urbs_->done.empty()) {
    umockdev_ioctl_client_complete(client, -1, EAGAIN);
    return true;
  }
  UMockdevIoctlData* urb_data = urbs_->done.front();
  urbs_->done.pop_front();
  UMockdevIoctlData* pointer =
      umockdev_ioctl_data_resolve(umockdev_ioctl_client_get_arg(client), 0, sizeof(void*), nullptr);
  umockdev_ioctl_data_set_ptr(pointer, 0, urb_data);
  umockdev_ioctl_client_complete(client, 0, 0);
  umockdev_ioctl_data_unref(pointer);
  umockdev_ioctl_data_unref(urb_data);
  return true;
}

bool UsbBoard::Discard(UMockdevIoctlClient* client) {
  UMockdevIoctlData* arg = umockdev_ioctl_client_get_arg(client);
  void* address = nullptr;
  std::memcpy(&address, arg->data, sizeof address);
  const auto found = std::find_if(urbs_->flying.begin(), urbs_->flying.end(),
                                  [address](const UMockdevIoctlData* urb) {
                                    return urb->client_addr == reinterpret_cast<gulong>(address);
                                  });
  if (found == urbs_->flying.end()) {
    umockdev_ioctl_client_complete(client, -1, EINVAL);
    return true;
  }
  UMockdevIoctlData* urb_data = *found;
  urbs_->flying.erase(found);
  reinterpret_cast<usbdevfs_urb*>(urb_data->data)->status = -ENOENT;  // cancelled
  urbs_->done.push_back(urb_data);
  umockdev_ioctl_client_complete(client, 0, 0);
  return true;
}

UsbTestbed::UsbTestbed() : testbed_(umockdev_testbed_new()) {
  if (!umockdev_in_mock_environment()) {
    throw std::runtime_error("not under umockdev's preload: run the program with umockdev-wrapper");
  }
}

UsbTestbed::~UsbTestbed() {
  g_object_unref(testbed_);
}

void UsbTestbed::Plug(UsbBoard& board) {
  GError* error = nullptr;
  // The handler first, so that the node answers as soon as the device appears.
  if (!umockdev_testbed_attach_ioctl(testbed_, board.Place().Node().c_str(), board.Handler(),
                                     &error)) {
    const std::string message = error != nullptr ? error->message : "attach failed";
    g_clear_error(&error);
    throw std::runtime_error(message);
  }
  if (!umockdev_testbed_add_from_string(testbed_, Description(board.Place()).c_str(), &error)) {
    const std::string message = error != nullptr ? error->message : "add failed";
    g_clear_error(&error);
    throw std::runtime_error(message);
  }
}

void UsbTestbed::Unplug(UsbBoard& board) {
  board.SetFault(UsbFault::kGone);
  const std::string syspath = board.Place().SysPath();
  umockdev_testbed_uevent(testbed_, syspath.c_str(), "remove");
  umockdev_testbed_remove_device(testbed_, syspath.c_str());
  (void)umockdev_testbed_detach_ioctl(testbed_, board.Place().Node().c_str(), nullptr);
  board.SetFault(UsbFault::kNone);
}

void UsbTestbed::ChangeMode(const UsbBoard& board, unsigned mode) {
  gchar* root = umockdev_testbed_get_root_dir(testbed_);
  const std::string node = std::string(root) + board.Place().Node();
  g_free(root);
  if (::chmod(node.c_str(), mode) != 0) {
    throw std::runtime_error("cannot change the mode of " + node);
  }
}

}  // namespace korimo::usbtest
