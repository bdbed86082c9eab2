// An in-memory registry below HKEY_LOCAL_MACHINE, the DeviceCatalogue back end
// of the simulator, the tests and the benchmarks.
//
// Keys are addressed by backslash paths ("SYSTEM\CurrentControlSet\..."). Key
// and value names are case-insensitive, as on Windows, but keys are enumerated
// in the order they were added, with their original spelling. Values are raw
// bytes. A handle allows what its access mask allows: enumerating subkeys needs
// kKeyEnumerateSubKeys, reading values kKeyQueryValue.
//
// Paths: an empty path is the root itself; one trailing backslash is accepted
// (RegOpenKeyEx accepts it too); a leading backslash or an empty name inside
// the path finds no key.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "device/ports.h"

namespace korimo::sim {

inline constexpr std::uint32_t kKeyQueryValue = 0x0001;
// The longest key name the platform hands over (its buffer holds 256 characters).
inline constexpr std::size_t kMaxKeyNameLength = 255;

struct CatalogueCounts {
  std::uint32_t opens = 0;         // handles handed out
  std::uint32_t failed_opens = 0;  // no key, no rights, or the catalogue unavailable
  std::uint32_t closes = 0;        // handles closed
  std::uint32_t bad_closes = 0;    // closes of a handle that is not open
};

class MemoryCatalogue final : public DeviceCatalogue {
 public:
  MemoryCatalogue();
  ~MemoryCatalogue() override;
  MemoryCatalogue(const MemoryCatalogue&) = delete;
  MemoryCatalogue& operator=(const MemoryCatalogue&) = delete;

  // DeviceCatalogue.
  std::optional<KeyHandle> OpenKey(std::string_view path, std::uint32_t access) override;
  std::optional<std::string> EnumKey(KeyHandle key, std::uint32_t index) override;
  std::optional<std::vector<std::uint8_t>> QueryValue(KeyHandle key,
                                                      std::string_view name) override;
  void CloseKey(KeyHandle key) override;

  // Building the tree. Every setter creates the key path as needed. A key that
  // is removed while a handle to it is open stays gone for that handle: it
  // enumerates and reads nothing, as a deleted key does on Windows.
  void AddKey(std::string_view path) { (void)Make(path); }
  bool RemoveKey(std::string_view path);  // with everything below it
  bool HasKey(std::string_view path) const { return Find(path) != nullptr; }
  void SetBinary(std::string_view path, std::string_view name, std::vector<std::uint8_t> bytes);
  void SetDword(std::string_view path, std::string_view name, std::uint32_t value);
  // Stores the text and a terminating NUL.
  void SetString(std::string_view path, std::string_view name, std::string_view text);
  bool RemoveValue(std::string_view path, std::string_view name);
  // The value's bytes as stored, without counting a query.
  std::optional<std::vector<std::uint8_t>> Value(std::string_view path,
                                                 std::string_view name) const;
  std::size_t KeyCount() const { return by_path_.size() - 1; }  // every key below the root

  // Fault hooks. A denied path cannot be opened at all (no rights); an
  // unavailable catalogue opens nothing.
  void DenyOpen(std::string_view path);
  void AllowOpen(std::string_view path);
  void SetUnavailable(bool unavailable) { unavailable_ = unavailable; }

  // Accounting.
  const CatalogueCounts& Counts() const { return counts_; }
  void ResetCounts() { counts_ = {}; }
  std::set<KeyHandle> OpenHandles() const;
  // The paths of the handles still open, as they were asked for.
  std::vector<std::string> OpenHandlePaths() const;
  std::optional<std::uint32_t> AccessOf(KeyHandle key) const;

 private:
  struct Node;
  struct OpenKeyRecord {
    std::shared_ptr<Node> node;
    std::string path;
    std::uint32_t access;
  };

  std::shared_ptr<Node> Find(std::string_view path) const;
  std::shared_ptr<Node> Make(std::string_view path);
  void Forget(Node& node);  // a removed key and everything below it

  std::shared_ptr<Node> root_;
  // Every key by its path with the letters folded to lower case, as the
  // registry compares names ignoring their case.
  std::map<std::string, std::shared_ptr<Node>> by_path_;
  std::map<KeyHandle, OpenKeyRecord> handles_;
  std::set<std::string> denied_;  // folded paths
  KeyHandle next_handle_ = 0x100;
  bool unavailable_ = false;
  CatalogueCounts counts_;
};

}  // namespace korimo::sim
