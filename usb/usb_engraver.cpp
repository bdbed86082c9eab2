#include "usb/usb_engraver.h"

#include <libusb.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <tuple>
#include <vector>

#include "device/device_troubles.h"
#include "usb/usb_diagnosis.h"

namespace korimo::usb {
namespace {

// USB allows at most 7 levels of hubs below the root.
constexpr int kMaxPortDepth = 7;

std::string DeviceNode(std::uint8_t bus, std::uint8_t address) {
  char node[32];
  std::snprintf(node, sizeof node, "/dev/bus/usb/%03u/%03u", static_cast<unsigned>(bus),
                static_cast<unsigned>(address));
  return node;
}

// "3-2" or "3-1.4": the bus and the ports from the root, as the kernel names it.
std::string PortPath(std::uint8_t bus, const std::vector<std::uint8_t>& ports) {
  std::string text = std::to_string(bus);
  for (std::size_t i = 0; i < ports.size(); ++i) {
    text += i == 0 ? '-' : '.';
    text += std::to_string(ports[i]);
  }
  return text;
}

struct Endpoints {
  unsigned char in = 0;
  unsigned char out = 0;
};

// The first bulk IN and bulk OUT endpoints of interface 0, first setting.
std::optional<Endpoints> BulkEndpoints(libusb_device* device) {
  libusb_config_descriptor* config = nullptr;
  if (libusb_get_active_config_descriptor(device, &config) != LIBUSB_SUCCESS) {
    return std::nullopt;
  }
  Endpoints endpoints;
  if (config->bNumInterfaces > kEngraverInterface &&
      config->interface[kEngraverInterface].num_altsetting > 0) {
    const libusb_interface_descriptor& setting =
        config->interface[kEngraverInterface].altsetting[0];
    for (int i = 0; i < setting.bNumEndpoints; ++i) {
      const libusb_endpoint_descriptor& endpoint = setting.endpoint[i];
      if ((endpoint.bmAttributes & LIBUSB_TRANSFER_TYPE_MASK) != LIBUSB_TRANSFER_TYPE_BULK) {
        continue;
      }
      unsigned char& slot =
          (endpoint.bEndpointAddress & LIBUSB_ENDPOINT_DIR_MASK) == LIBUSB_ENDPOINT_IN
              ? endpoints.in
              : endpoints.out;
      if (slot == 0) {
        slot = endpoint.bEndpointAddress;
      }
    }
  }
  libusb_free_config_descriptor(config);
  return endpoints.in != 0 && endpoints.out != 0 ? std::optional(endpoints) : std::nullopt;
}

}  // namespace

struct UsbEngraver::Candidate {
  libusb_device* device;
  std::uint8_t bus;
  std::vector<std::uint8_t> ports;
  std::string node;
  std::string path;
};

// An engraver opened and claimed; letting go of it releases the interface,
// gives the kernel driver back and closes the handle.
struct UsbEngraver::Held {
  libusb_device* device;
  libusb_device_handle* handle;
  Endpoints endpoints;
  bool driver_detached;
  std::string path;
  std::uint64_t generation;

  ~Held() {
    (void)libusb_release_interface(handle, kEngraverInterface);
    if (driver_detached) {
      (void)libusb_attach_kernel_driver(handle, kEngraverInterface);
    }
    libusb_close(handle);
  }
};

UsbEngraver::UsbEngraver(UsbOptions options) : options_(options) {
  // libusb reads a limit of 0 as none at all; every transfer must have one.
  options_.transfer_timeout = std::max(options_.transfer_timeout, std::chrono::milliseconds{1});
  if (const int result = libusb_init(&context_); result != LIBUSB_SUCCESS) {
    context_ = nullptr;
    start_trouble_ = "USB devices cannot be reached on this system: libusb could not start (" +
                     std::string(libusb_strerror(result)) + "), so the engraver cannot be found.";
  }
}

UsbEngraver::~UsbEngraver() {
  held_.reset();
  if (context_ != nullptr) {
    libusb_exit(context_);
  }
}

std::vector<UsbEngraver::Candidate> UsbEngraver::Scan(libusb_device**& list) {
  list = nullptr;
  std::vector<Candidate> engravers;
  if (context_ == nullptr) {
    return engravers;
  }
  const ssize_t count = libusb_get_device_list(context_, &list);
  for (ssize_t i = 0; i < count; ++i) {
    libusb_device_descriptor descriptor{};
    if (libusb_get_device_descriptor(list[i], &descriptor) != LIBUSB_SUCCESS ||
        descriptor.idVendor != kEngraverVendor || descriptor.idProduct != kEngraverProduct) {
      continue;
    }
    Candidate engraver{list[i], libusb_get_bus_number(list[i]), {}, {}, {}};
    std::uint8_t ports[kMaxPortDepth];
    const int depth = libusb_get_port_numbers(list[i], ports, kMaxPortDepth);
    engraver.ports.assign(ports, ports + std::max(depth, 0));
    engraver.node = DeviceNode(engraver.bus, libusb_get_device_address(list[i]));
    engraver.path = "usb:" + PortPath(engraver.bus, engraver.ports) + " (" + engraver.node + ")";
    engravers.push_back(std::move(engraver));
  }
  std::sort(engravers.begin(), engravers.end(), [](const Candidate& a, const Candidate& b) {
    return std::tie(a.bus, a.ports, a.node) < std::tie(b.bus, b.ports, b.node);
  });
  return engravers;
}

std::string UsbEngraver::FindDevicePath(std::string_view chosen) {
  trouble_ = start_trouble_;
  if (context_ == nullptr) {
    return {};
  }
  libusb_device** list = nullptr;
  const std::vector<Candidate> engravers = Scan(list);
  const auto wanted = std::find_if(engravers.begin(), engravers.end(), [&](const Candidate& c) {
    return chosen.empty() || EngraverPort(c.path) == EngraverPort(chosen);
  });

  if (wanted == engravers.end() || !held_ || held_->device != wanted->device) {
    held_.reset();
    if (wanted != engravers.end()) {
      held_ = Claim(*wanted, trouble_);
    }
  }
  const std::string path = held_ ? held_->path : std::string();
  libusb_free_device_list(list, 1);  // allocated even when it holds no device; takes nullptr
  return path;
}

std::vector<FoundEngraver> UsbEngraver::ListEngravers() {
  std::vector<FoundEngraver> found;
  libusb_device** list = nullptr;
  const std::vector<Candidate> engravers = Scan(list);
  for (std::size_t i = 0; i < engravers.size(); ++i) {
    const Candidate& engraver = engravers[i];
    std::string trouble;
    if (!held_ || held_->device != engraver.device) {
      if (std::unique_ptr<Held> probe = Claim(engraver, trouble)) {
        // The one FindDevicePath takes when nothing is chosen stays held, so it
        // is claimed only once; any other is let go again here.
        if (!held_ && i == 0) {
          held_ = std::move(probe);
        }
      } else if (trouble.empty()) {
        trouble = TroubleSentence(DeviceTrouble::kVanished, engraver.node);
      }
    }
    found.push_back({engraver.path, trouble});
  }
  libusb_free_device_list(list, 1);
  return found;
}

std::unique_ptr<UsbEngraver::Held> UsbEngraver::Claim(const Candidate& engraver,
                                                      std::string& trouble) {
  const std::string& node = engraver.node;
  const std::optional<Endpoints> endpoints = BulkEndpoints(engraver.device);
  if (!endpoints) {
    trouble = "The engraver at " + node +
              " cannot be used: its interface 0 offers no bulk IN and bulk OUT endpoint.";
    return nullptr;
  }
  libusb_device_handle* handle = nullptr;
  if (const int result = libusb_open(engraver.device, &handle); result != LIBUSB_SUCCESS) {
    if (result == LIBUSB_ERROR_ACCESS) {
      trouble = TroubleSentence(DeviceTrouble::kNoPermission, node);
    } else if (result != LIBUSB_ERROR_NO_DEVICE) {
      trouble = "The engraver at " + node + " cannot be opened (" + libusb_strerror(result) + ").";
    }
    return nullptr;
  }
  bool detached = false;
  if (libusb_kernel_driver_active(handle, kEngraverInterface) == 1) {
    detached = libusb_detach_kernel_driver(handle, kEngraverInterface) == LIBUSB_SUCCESS;
    if (!detached) {
      const std::string driver = KernelDriverOf(EngraverPort(engraver.path).substr(4));
      trouble = TroubleSentence(DeviceTrouble::kKernelDriver, node,
                                driver.empty() ? "(unknown)" : driver);
      libusb_close(handle);
      return nullptr;
    }
  }
  if (const int result = libusb_claim_interface(handle, kEngraverInterface);
      result != LIBUSB_SUCCESS) {
    if (result == LIBUSB_ERROR_BUSY) {
      trouble = TroubleSentence(DeviceTrouble::kHeldByProcess, node,
                                ProcessesHolding(node, static_cast<int>(::getpid())));
    } else if (result != LIBUSB_ERROR_NO_DEVICE) {
      trouble = "The engraver at " + node + " cannot be claimed (" + libusb_strerror(result) + ").";
    }
    if (detached) {
      (void)libusb_attach_kernel_driver(handle, kEngraverInterface);
    }
    libusb_close(handle);
    return nullptr;
  }
  return std::unique_ptr<Held>(
      new Held{engraver.device, handle, *endpoints, detached, engraver.path, ++generation_});
}

std::optional<FileHandle> UsbEngraver::Open(const std::string& path,
                                            const OpenParameters& /*params*/) {
  if (!held_ || path != held_->path) {
    return std::nullopt;
  }
  const FileHandle token = next_token_++;
  tokens_[token] = held_->generation;
  return token;
}

UsbEngraver::Held* UsbEngraver::Live(FileHandle file) {
  const auto token = tokens_.find(file);
  if (token == tokens_.end() || !held_ || token->second != held_->generation) {
    return nullptr;
  }
  return held_.get();
}

bool UsbEngraver::Transfer(unsigned char endpoint, unsigned char* data, std::size_t size) {
  int moved = 0;
  const int result =
      libusb_bulk_transfer(held_->handle, endpoint, data, static_cast<int>(size), &moved,
                           static_cast<unsigned>(options_.transfer_timeout.count()));
  if (result != LIBUSB_SUCCESS) {
    held_.reset();
    return false;
  }
  return static_cast<std::size_t>(moved) == size;
}

std::optional<std::size_t> UsbEngraver::Read(FileHandle file, std::span<std::uint8_t> buffer) {
  Held* held = Live(file);
  if (held == nullptr || buffer.empty() || buffer.size() > INT_MAX) {
    return std::nullopt;
  }
  // A short packet is no status packet, and leaves the buffer as it was.
  std::vector<unsigned char> packet(buffer.size());
  if (!Transfer(held->endpoints.in, packet.data(), packet.size())) {
    return std::nullopt;
  }
  std::copy(packet.begin(), packet.end(), buffer.begin());
  return buffer.size();
}

bool UsbEngraver::Write(FileHandle file, std::span<const std::uint8_t> bytes) {
  Held* held = Live(file);
  if (held == nullptr) {
    return false;
  }
  for (std::size_t offset = 0; offset < bytes.size(); offset += kUsbChunkSize) {
    const std::size_t size = std::min(kUsbChunkSize, bytes.size() - offset);
    // libusb takes a mutable buffer for either direction; an OUT transfer only reads it.
    if (!Transfer(held->endpoints.out, const_cast<unsigned char*>(bytes.data() + offset), size)) {
      return false;
    }
  }
  return true;
}

}  // namespace korimo::usb
