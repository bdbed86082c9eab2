// The platform ports of the device link. The core finds the engraver, reaches
// its device file, the event loop and the user only through these interfaces.
// On Windows the engraver is found by the registry walk over DeviceCatalogue
// (win32/ over the real calls, sim/ in memory); on Linux usb/ finds and drives
// it over libusb. The Qt windows supply the event pump and the prompts.
#pragma once

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace korimo {

// An open registry key or device file. The value is the back end's own; the
// core only passes it back.
using KeyHandle = std::uintptr_t;
using FileHandle = std::uintptr_t;

// Registry access masks asked for by the device search (KEY_ENUMERATE_SUB_KEYS
// and KEY_READ of the Win32 headers).
inline constexpr std::uint32_t kKeyEnumerateSubKeys = 0x0008;
inline constexpr std::uint32_t kKeyRead = 0x20019;

// The device-interface catalogue: keys below HKEY_LOCAL_MACHINE.
class DeviceCatalogue {
 public:
  virtual ~DeviceCatalogue() = default;

  // Opens `path` (relative to HKEY_LOCAL_MACHINE) with `access`; no handle when
  // the key does not exist or may not be opened.
  virtual std::optional<KeyHandle> OpenKey(std::string_view path, std::uint32_t access) = 0;

  // The name of the `index`-th subkey, as the platform hands it over (a name
  // buffer of 256 characters; the caller cuts it at its first NUL). No name
  // once the list has ended, or on any other failure.
  virtual std::optional<std::string> EnumKey(KeyHandle key, std::uint32_t index) = 0;

  // The whole data of value `name` under `key`, whatever its type and length.
  // No data when the value is absent or cannot be read.
  virtual std::optional<std::vector<std::uint8_t>> QueryValue(KeyHandle key,
                                                              std::string_view name) = 0;

  virtual void CloseKey(KeyHandle key) = 0;
};

// One engraver as a finder lists it: the path the device files open and, when
// it cannot be used, one sentence why (empty when it can).
struct FoundEngraver {
  std::string path;
  std::string trouble;

  friend bool operator==(const FoundEngraver&, const FoundEngraver&) = default;
};

// Whether two device paths name the same device: as Windows compares them,
// ignoring case.
inline bool SameDevicePath(std::string_view a, std::string_view b) {
  return std::ranges::equal(a, b, [](char x, char y) {
    return std::tolower(static_cast<unsigned char>(x)) ==
           std::tolower(static_cast<unsigned char>(y));
  });
}

// The port a device path names first, "usb:3-2" of "usb:3-2
// (/dev/bus/usb/003/007)": it stays when the engraver is plugged in again,
// which gives it a new device node. A path without one is its own port.
inline std::string_view EngraverPort(std::string_view path) {
  return path.substr(0, path.find(" ("));
}

// Finding the engraver: the platform seam of discovery. Every call looks afresh.
class EngraverFinder {
 public:
  virtual ~EngraverFinder() = default;

  // The path the device files open for the engraver listed at `chosen` (none
  // while it is absent) or, with `chosen` empty, for the first engraver in the
  // platform's stable order; the empty string when there is none that can be
  // used.
  virtual std::string FindDevicePath(std::string_view chosen) = 0;

  // Why an engraver that is present cannot be used (for example no right to
  // open it), as one sentence for the user; empty when there is no such
  // engraver. Valid after FindDevicePath.
  virtual std::string Trouble() const = 0;

  // Every engraver present, in the same stable order, the first one being the
  // one FindDevicePath finds when nothing is chosen.
  virtual std::vector<FoundEngraver> ListEngravers() = 0;
};

// The parameters of one open of the device file, as handed to CreateFileA.
struct OpenParameters {
  std::uint32_t desired_access;
  std::uint32_t share_mode;
  std::uint32_t creation_disposition;
  std::uint32_t flags_and_attributes;

  friend bool operator==(const OpenParameters&, const OpenParameters&) = default;
};

// A read opens the device exclusively for reading and writing; a write (probe
// and every chunk) opens it for writing only, shared for writing.
inline constexpr OpenParameters kReadOpen{0xC0000000u, 0u, 4u, 0x80u};
inline constexpr OpenParameters kWriteOpen{0x40000000u, 2u, 3u, 0u};

// The engraver's device file.
class DeviceFiles {
 public:
  virtual ~DeviceFiles() = default;

  // Opens `path` with exactly `params`; no handle when the open fails.
  virtual std::optional<FileHandle> Open(const std::string& path, const OpenParameters& params) = 0;

  // One read call of buffer.size() bytes into `buffer`. Returns the number of
  // bytes read, or nothing when the call failed. A short read leaves the tail
  // of the buffer as it was.
  virtual std::optional<std::size_t> Read(FileHandle file, std::span<std::uint8_t> buffer) = 0;

  // One write call of all of `bytes`; true when the call succeeded.
  virtual bool Write(FileHandle file, std::span<const std::uint8_t> bytes) = 0;

  virtual bool Flush(FileHandle file) = 0;
  virtual void Close(FileHandle file) = 0;

  // True when the last open that failed was refused because another program
  // holds the device (a sharing violation). Back ends that cannot tell say false.
  virtual bool LastOpenRefusedInUse() const { return false; }
};

// Lets the user-interface event loop process its pending events once. Every
// wait of the device link yields through it, so timer ticks and clicks can run
// in the middle of a wait.
class EventPump {
 public:
  virtual ~EventPump() = default;
  virtual void DoEvents() = 0;

  // The pause before a status query asks the engraver again: pending events
  // run, and a pump that may wait lets about `pause` go by. By default the
  // events run once and nothing waits.
  virtual void Pause(std::chrono::milliseconds pause) {
    (void)pause;
    DoEvents();
  }
};

enum class MessageButtons { kOk, kYesNo };
enum class MessageAnswer { kOk, kYes, kNo, kCancel };

// Message boxes and input prompts. An empty title means the application title.
class Prompts {
 public:
  virtual ~Prompts() = default;

  virtual MessageAnswer ShowMessage(const std::string& text, const std::string& title,
                                    MessageButtons buttons, MessageAnswer default_answer) = 0;

  // The text entered, or nothing when the prompt was cancelled.
  virtual std::optional<std::string> AskText(const std::string& prompt,
                                             const std::string& title) = 0;

  // A message with only OK, under the application title.
  void ShowNotice(std::string_view text) {
    ShowMessage(std::string(text), "", MessageButtons::kOk, MessageAnswer::kOk);
  }
};

// The title that untitled message boxes and prompts carry.
inline constexpr std::string_view kApplicationTitle = "Korimo Configuration";

}  // namespace korimo
