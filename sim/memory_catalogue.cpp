#include "sim/memory_catalogue.h"

#include <algorithm>
#include <utility>

namespace korimo::sim {
namespace {

// Names compare as the registry compares them, ignoring the case of ASCII
// letters: they are looked up with the letters folded to lower case.
std::string Folded(std::string_view name) {
  std::string folded(name);
  for (char& c : folded) {
    c = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
  }
  return folded;
}

// The path of a key without its one allowed trailing backslash; a lone
// backslash names no key.
std::string_view KeyPath(std::string_view path) {
  if (!path.empty() && path.back() == '\\') {
    path.remove_suffix(1);
    if (path.empty()) {
      return "\\";
    }
  }
  return path;
}

}  // namespace

struct MemoryCatalogue::Node {
  std::string name;
  std::string key_path;                                     // folded
  std::vector<std::shared_ptr<Node>> children;              // in the order they were added
  std::map<std::string, std::vector<std::uint8_t>> values;  // by folded name
  bool deleted = false;

  std::optional<std::vector<std::uint8_t>> FindValue(std::string_view value_name) const {
    const auto found = values.find(Folded(value_name));
    return found == values.end() ? std::nullopt : std::optional(found->second);
  }
};

MemoryCatalogue::MemoryCatalogue() : root_(std::make_shared<Node>()) {
  by_path_.emplace("", root_);
}

MemoryCatalogue::~MemoryCatalogue() = default;

std::shared_ptr<MemoryCatalogue::Node> MemoryCatalogue::Find(std::string_view path) const {
  const auto found = by_path_.find(Folded(KeyPath(path)));
  return found == by_path_.end() ? nullptr : found->second;
}

std::shared_ptr<MemoryCatalogue::Node> MemoryCatalogue::Make(std::string_view path) {
  path = KeyPath(path);
  if (path.starts_with('\\') || path.ends_with('\\') || path.find("\\\\") != path.npos) {
    return nullptr;  // an empty name somewhere along the path
  }
  std::shared_ptr<Node> node = root_;
  std::string key_path;
  for (std::size_t start = 0; start < path.size();) {
    const std::size_t cut = std::min(path.find('\\', start), path.size());
    const std::string_view name = path.substr(start, cut - start);
    key_path += (start == 0 ? "" : "\\") + Folded(name);
    auto found = by_path_.find(key_path);
    if (found == by_path_.end()) {
      auto child = std::make_shared<Node>();
      child->name = std::string(name);
      child->key_path = key_path;
      node->children.push_back(child);
      found = by_path_.emplace(key_path, std::move(child)).first;
    }
    node = found->second;
    start = cut + 1;
  }
  return node;
}

void MemoryCatalogue::Forget(Node& node) {
  node.deleted = true;
  by_path_.erase(node.key_path);
  for (const auto& child : node.children) {
    Forget(*child);
  }
}

std::optional<KeyHandle> MemoryCatalogue::OpenKey(std::string_view path, std::uint32_t access) {
  std::shared_ptr<Node> node = unavailable_ ? nullptr : Find(path);
  if (!node || denied_.contains(Folded(KeyPath(path)))) {
    ++counts_.failed_opens;
    return std::nullopt;
  }
  ++counts_.opens;
  const KeyHandle handle = next_handle_++;
  handles_.emplace(handle, OpenKeyRecord{std::move(node), std::string(path), access});
  return handle;
}

std::optional<std::string> MemoryCatalogue::EnumKey(KeyHandle key, std::uint32_t index) {
  const auto open = handles_.find(key);
  if (open == handles_.end() || (open->second.access & kKeyEnumerateSubKeys) == 0) {
    return std::nullopt;
  }
  const Node& node = *open->second.node;
  if (node.deleted || index >= node.children.size() ||
      node.children[index]->name.size() > kMaxKeyNameLength) {
    return std::nullopt;  // past the last, or more than the platform's buffer holds
  }
  return node.children[index]->name;
}

std::optional<std::vector<std::uint8_t>> MemoryCatalogue::QueryValue(KeyHandle key,
                                                                     std::string_view name) {
  const auto open = handles_.find(key);
  if (open == handles_.end() || (open->second.access & kKeyQueryValue) == 0 ||
      open->second.node->deleted) {
    return std::nullopt;
  }
  return open->second.node->FindValue(name);
}

void MemoryCatalogue::CloseKey(KeyHandle key) {
  if (handles_.erase(key) == 0) {
    ++counts_.bad_closes;
    return;
  }
  ++counts_.closes;
}

bool MemoryCatalogue::RemoveKey(std::string_view path) {
  const std::shared_ptr<Node> node = Find(path);
  if (!node || node == root_) {
    return false;  // the root stays
  }
  const std::size_t cut = node->key_path.rfind('\\');
  const std::string parent_path =
      cut == std::string::npos ? std::string() : node->key_path.substr(0, cut);
  std::erase(by_path_.at(parent_path)->children, node);
  Forget(*node);
  return true;
}

void MemoryCatalogue::SetBinary(std::string_view path, std::string_view name,
                                std::vector<std::uint8_t> bytes) {
  if (const std::shared_ptr<Node> node = Make(path)) {
    node->values[Folded(name)] = std::move(bytes);
  }
}

void MemoryCatalogue::SetDword(std::string_view path, std::string_view name, std::uint32_t value) {
  // Least significant byte first, as the registry stores a REG_DWORD.
  SetBinary(path, name,
            {static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8),
             static_cast<std::uint8_t>(value >> 16), static_cast<std::uint8_t>(value >> 24)});
}

void MemoryCatalogue::SetString(std::string_view path, std::string_view name,
                                std::string_view text) {
  std::vector<std::uint8_t> bytes(text.begin(), text.end());
  bytes.push_back(0);
  SetBinary(path, name, std::move(bytes));
}

bool MemoryCatalogue::RemoveValue(std::string_view path, std::string_view name) {
  const std::shared_ptr<Node> node = Find(path);
  return node && node->values.erase(Folded(name)) != 0;
}

std::optional<std::vector<std::uint8_t>> MemoryCatalogue::Value(std::string_view path,
                                                                std::string_view name) const {
  const std::shared_ptr<Node> node = Find(path);
  return node ? node->FindValue(name) : std::nullopt;
}

void MemoryCatalogue::DenyOpen(std::string_view path) {
  denied_.insert(Folded(KeyPath(path)));
}

void MemoryCatalogue::AllowOpen(std::string_view path) {
  denied_.erase(Folded(KeyPath(path)));
}

std::set<KeyHandle> MemoryCatalogue::OpenHandles() const {
  std::set<KeyHandle> open;
  for (const auto& [handle, record] : handles_) {
    open.insert(handle);
  }
  return open;
}

std::vector<std::string> MemoryCatalogue::OpenHandlePaths() const {
  std::vector<std::string> paths;
  for (const auto& [handle, record] : handles_) {
    paths.push_back(record.path);
  }
  return paths;
}

std::optional<std::uint32_t> MemoryCatalogue::AccessOf(KeyHandle key) const {
  const auto open = handles_.find(key);
  return open == handles_.end() ? std::nullopt : std::optional(open->second.access);
}

}  // namespace korimo::sim
