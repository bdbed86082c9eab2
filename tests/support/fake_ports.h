// Recording fakes of the platform ports: every call is kept, so tests can
// check the exact sequence of opens, reads, writes, flushes and closes, and
// the keys the search opens and closes; and the scripted event pump every
// suite uses. (The recording prompts are in recording_prompts.h.)
#pragma once

#include <algorithm>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "device/modKT90.h"
#include "device/ports.h"

namespace korimo::testing {

using Bytes = std::vector<std::uint8_t>;

inline Bytes BytesOf(std::string_view text) {
  return Bytes(text.begin(), text.end());
}

inline Bytes DwordBytes(std::uint32_t value) {
  return {static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8),
          static_cast<std::uint8_t>(value >> 16), static_cast<std::uint8_t>(value >> 24)};
}

// A registry catalogue held in maps. Key paths are compared exactly; subkeys are
// enumerated in the order they were added, names handed over as stored (a name
// may hold an embedded NUL).
class FakeCatalogue final : public DeviceCatalogue {
 public:
  struct Open {
    std::string path;
    std::uint32_t access;
  };

  // Adds `path` and the subkey entries of every parent along the way.
  void AddKey(const std::string& path) {
    std::string parent;
    std::size_t start = 0;
    while (true) {
      const std::size_t slash = path.find('\\', start);
      const std::string name = path.substr(start, slash - start);
      const std::string full = parent.empty() ? name : parent + "\\" + name;
      if (!keys_.contains(full)) {
        keys_[full];
        if (!parent.empty()) {
          keys_[parent].subkeys.push_back(name);
        }
      }
      if (slash == std::string::npos) {
        break;
      }
      parent = full;
      start = slash + 1;
    }
  }

  // Lists a subkey name that no key stands behind (an embedded NUL, say).
  void AddRawSubkeyName(const std::string& parent, const std::string& raw_name) {
    AddKey(parent);
    keys_[parent].subkeys.push_back(raw_name);
  }

  void SetValue(const std::string& path, const std::string& name, Bytes data) {
    AddKey(path);
    keys_[path].values[name] = std::move(data);
  }

  void Deny(const std::string& path) { denied_.insert(path); }

  std::optional<KeyHandle> OpenKey(std::string_view path, std::uint32_t access) override {
    opens.push_back({std::string(path), access});
    // The registry takes a trailing backslash as naming the same key.
    std::string key(path);
    if (!key.empty() && key.back() == '\\') {
      key.pop_back();
    }
    if (denied_.contains(key) || !keys_.contains(key)) {
      return std::nullopt;
    }
    const KeyHandle handle = next_handle_++;
    open_handles_[handle] = key;
    return handle;
  }

  std::optional<std::string> EnumKey(KeyHandle key, std::uint32_t index) override {
    const auto& subkeys = keys_.at(open_handles_.at(key)).subkeys;
    if (index >= subkeys.size()) {
      return std::nullopt;
    }
    return subkeys[index];
  }

  std::optional<Bytes> QueryValue(KeyHandle key, std::string_view name) override {
    const auto& values = keys_.at(open_handles_.at(key)).values;
    const auto found = values.find(std::string(name));
    if (found == values.end()) {
      return std::nullopt;
    }
    return found->second;
  }

  void CloseKey(KeyHandle key) override {
    ++closes;
    open_handles_.erase(key);
  }

  std::size_t StillOpen() const { return open_handles_.size(); }

  std::vector<Open> opens;
  int closes = 0;

 private:
  struct Key {
    std::vector<std::string> subkeys;
    std::map<std::string, Bytes> values;
  };
  std::map<std::string, Key> keys_;
  std::set<std::string> denied_;
  std::map<KeyHandle, std::string> open_handles_;
  KeyHandle next_handle_ = 1;
};

// A device file that answers reads with a scripted status packet and records
// every call.
class FakeFiles final : public DeviceFiles {
 public:
  enum class Kind { kOpen, kOpenFailed, kRead, kWrite, kFlush, kClose };
  struct Call {
    Kind kind;
    std::string path;
    OpenParameters params{};
    Bytes bytes;  // what was written, or what a read delivered
  };

  // Decides whether an open succeeds; by default only the device path does.
  std::function<bool(const std::string& path, const OpenParameters& params)> can_open =
      [this](const std::string& path, const OpenParameters&) { return path == device_path; };
  // The status packet of the next read.
  std::function<StatusPacket()> status = [] { return StatusPacket{}; };
  // How many bytes a read delivers; all of them by default.
  std::optional<std::size_t> read_limit;
  bool reads_fail = false;
  bool writes_fail = false;
  bool flushes_fail = false;
  bool opens_refused_in_use = false;  // what a failed open reports

  std::string device_path = "\\\\?\\USB#Vid_7e21&Pid_0065#1#{guid}";

  std::optional<FileHandle> Open(const std::string& path, const OpenParameters& params) override {
    if (!can_open(path, params)) {
      calls.push_back({Kind::kOpenFailed, path, params, {}});
      return std::nullopt;
    }
    calls.push_back({Kind::kOpen, path, params, {}});
    return next_handle_++;
  }

  std::optional<std::size_t> Read(FileHandle, std::span<std::uint8_t> buffer) override {
    if (reads_fail) {
      calls.push_back({Kind::kRead, {}, {}, {}});
      return std::nullopt;
    }
    const StatusPacket packet = status();
    const std::size_t n = std::min({buffer.size(), packet.size(), read_limit.value_or(SIZE_MAX)});
    std::copy_n(packet.begin(), n, buffer.begin());
    calls.push_back(
        {Kind::kRead, {}, {}, Bytes(packet.begin(), packet.begin() + static_cast<long>(n))});
    return n;
  }

  bool Write(FileHandle, std::span<const std::uint8_t> bytes) override {
    calls.push_back({Kind::kWrite, {}, {}, Bytes(bytes.begin(), bytes.end())});
    return !writes_fail;
  }

  bool Flush(FileHandle) override {
    calls.push_back({Kind::kFlush, {}, {}, {}});
    return !flushes_fail;
  }

  void Close(FileHandle) override { calls.push_back({Kind::kClose, {}, {}, {}}); }
  bool LastOpenRefusedInUse() const override { return opens_refused_in_use; }

  std::size_t Count(Kind kind) const {
    return static_cast<std::size_t>(std::count_if(
        calls.begin(), calls.end(), [kind](const Call& c) { return c.kind == kind; }));
  }

  std::vector<Bytes> Written() const {
    std::vector<Bytes> out;
    for (const Call& c : calls) {
      if (c.kind == Kind::kWrite) {
        out.push_back(c.bytes);
      }
    }
    return out;
  }

  std::vector<Call> calls;

 private:
  FileHandle next_handle_ = 100;
};

// The event loop of the tests: counts its turns and runs the test's action on
// each, with the number of earlier turns (a status tick, an unplug or the
// clock running in the middle of a wait).
class ScriptedPump final : public EventPump {
 public:
  void DoEvents() override {
    const int turn = turns++;
    if (action) {
      action(turn);
    }
  }
  int turns = 0;
  std::function<void(int turn)> action;
};

// A status packet with `byte1` as its busy byte.
inline StatusPacket StatusWith(std::uint8_t byte1) {
  StatusPacket packet{};
  packet[1] = byte1;
  return packet;
}

}  // namespace korimo::testing
