// What Linux shows of an engraver that cannot be reached: which processes hold
// its device node open (as /proc shows them) and which kernel driver is bound
// to its interface (as sysfs shows it). Only reads.
#pragma once

#include <string>
#include <string_view>

namespace korimo::usb {

// The processes other than `except` that have `node` open, as
// "process 1234 (name, /proc/1234/fd/5)", several joined by ", "; empty when
// none is seen (or /proc may not be read).
std::string ProcessesHolding(const std::string& node, int except, std::string_view proc = "/proc");

// The name of the kernel driver bound to interface 0 of the device at `port`
// ("3-2"), from the link <sys>/bus/usb/devices/3-2:1.0/driver; empty when none.
std::string KernelDriverOf(std::string_view port, std::string_view sys = "/sys");

}  // namespace korimo::usb
