#include "sim/memory_catalogue.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace korimo::sim {
namespace {

// Names compare as the registry compares them, ignoring the case of ASCII letters.
constexpr char Fold(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool SameName(std::string_view a, std::string_view b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                    [](char x, char y) { return Fold(x) == Fold(y); });
}

// The names along `path`, or nothing when the path holds an empty name. One
// trailing backslash is dropped; the empty path is the root.
std::optional<std::vector<std::string_view>> SplitPath(std::string_view path) {
  if (!path.empty() && path.back() == '\\') {
    path.remove_suffix(1);
    if (path.empty()) {
      return std::nullopt;
    }
  }
  std::vector<std::string_view> names;
  if (path.empty()) {
    return names;
  }
  for (;;) {
    const std::size_t cut = path.find('\\');
    const std::string_view name = path.substr(0, cut);
    if (name.empty()) {
      return std::nullopt;
    }
    names.push_back(name);
    if (cut == std::string_view::npos) {
      return names;
    }
    path.remove_prefix(cut + 1);
  }
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

namespace {

// Eight characters at a time, upper-case ASCII letters folded to lower case.
std::uint64_t FoldWord(std::uint64_t word) {
  constexpr std::uint64_t kOnes = 0x0101010101010101u;
  constexpr std::uint64_t kHigh = 0x8080808080808080u;
  const std::uint64_t low7 = word & ~kHigh;
  const std::uint64_t above_z = low7 + kOnes * (0x7F - 'Z');       // high bit set above 'Z'
  const std::uint64_t from_a = low7 + kOnes * (0x80 - 'A');        // high bit set from 'A'
  const std::uint64_t upper = (from_a ^ above_z) & ~word & kHigh;  // 'A'..'Z', ASCII only
  return word | (upper >> 2);
}

}  // namespace

std::size_t FoldedHash::operator()(std::string_view text) const {
  std::uint64_t hash = 0x9E3779B97F4A7C15u ^ text.size();
  std::size_t at = 0;
  for (; at + 8 <= text.size(); at += 8) {
    std::uint64_t word = 0;
    std::memcpy(&word, text.data() + at, 8);
    hash = (hash ^ FoldWord(word)) * 0x100000001B3u;
    hash ^= hash >> 29;
  }
  for (; at < text.size(); ++at) {
    hash = (hash ^ static_cast<unsigned char>(Fold(text[at]))) * 0x100000001B3u;
  }
  return static_cast<std::size_t>(hash ^ (hash >> 32));
}

bool FoldedEqual::operator()(std::string_view a, std::string_view b) const {
  return a == b || SameName(a, b);
}

struct MemoryCatalogue::Node {
  std::string name;
  std::string key_path;
  std::vector<std::shared_ptr<Node>> children;  // in the order they were added
  // The children's names back to back, for a quick walk over them.
  std::string child_names;
  std::vector<std::pair<std::size_t, std::size_t>> child_spans;
  std::vector<std::pair<std::string, std::vector<std::uint8_t>>> values;
  bool deleted = false;

  void AddChild(std::shared_ptr<Node> child) {
    child_spans.emplace_back(child_names.size(), child->name.size());
    child_names += child->name;
    children.push_back(std::move(child));
  }

  void RemoveChild(const std::shared_ptr<Node>& child) {
    std::erase(children, child);
    child_names.clear();
    child_spans.clear();
    for (const auto& kept : children) {
      child_spans.emplace_back(child_names.size(), kept->name.size());
      child_names += kept->name;
    }
  }

  std::vector<std::uint8_t>* FindValue(std::string_view value_name) {
    for (auto& [stored_name, bytes] : values) {
      if (SameName(stored_name, value_name)) {
        return &bytes;
      }
    }
    return nullptr;
  }

  std::size_t Count() const {
    std::size_t count = children.size();
    for (const auto& child : children) {
      count += child->Count();
    }
    return count;
  }
};

MemoryCatalogue::MemoryCatalogue() : root_(std::make_shared<Node>()) {
  by_path_.emplace("", root_);
}

MemoryCatalogue::~MemoryCatalogue() = default;

std::shared_ptr<MemoryCatalogue::Node> MemoryCatalogue::Find(std::string_view path) const {
  const auto found = by_path_.find(KeyPath(path));
  return found == by_path_.end() ? nullptr : found->second;
}

std::shared_ptr<MemoryCatalogue::Node> MemoryCatalogue::Make(std::string_view path) {
  const auto names = SplitPath(path);
  if (!names) {
    return nullptr;
  }
  std::shared_ptr<Node> node = root_;
  std::string key_path;
  for (const std::string_view name : *names) {
    if (!key_path.empty()) {
      key_path += '\\';
    }
    key_path += name;
    auto found = by_path_.find(key_path);
    if (found == by_path_.end()) {
      auto child = std::make_shared<Node>();
      child->name = std::string(name);
      child->key_path = key_path;
      node->AddChild(child);
      found = by_path_.emplace(key_path, std::move(child)).first;
    }
    node = found->second;
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
  if (!node || (!denied_.empty() && denied_.contains(KeyPath(path)))) {
    ++counts_.failed_opens;
    return std::nullopt;
  }
  ++counts_.opens;
  const KeyHandle handle = next_handle_++;
  handles_.emplace(handle, OpenKeyRecord{std::move(node), std::string(path), access});
  return handle;
}

std::optional<std::string> MemoryCatalogue::EnumKey(KeyHandle key, std::uint32_t index) {
  ++counts_.enumerations;
  const auto open = handles_.find(key);
  if (open == handles_.end() || (open->second.access & kKeyEnumerateSubKeys) == 0) {
    return std::nullopt;
  }
  const Node& node = *open->second.node;
  if (node.deleted || index >= node.child_spans.size()) {
    return std::nullopt;
  }
  const auto [offset, length] = node.child_spans[index];
  if (length > kMaxKeyNameLength) {
    return std::nullopt;  // the platform reports that its buffer is too small
  }
  return node.child_names.substr(offset, length);
}

std::optional<std::vector<std::uint8_t>> MemoryCatalogue::QueryValue(KeyHandle key,
                                                                     std::string_view name) {
  ++counts_.queries;
  const auto open = handles_.find(key);
  if (open == handles_.end() || (open->second.access & kKeyQueryValue) == 0 ||
      open->second.node->deleted) {
    return std::nullopt;
  }
  const std::vector<std::uint8_t>* bytes = open->second.node->FindValue(name);
  if (!bytes) {
    return std::nullopt;
  }
  return *bytes;
}

void MemoryCatalogue::CloseKey(KeyHandle key) {
  if (handles_.erase(key) == 0) {
    ++counts_.bad_closes;
    return;
  }
  ++counts_.closes;
}

void MemoryCatalogue::AddKey(std::string_view path) {
  (void)Make(path);
}

bool MemoryCatalogue::RemoveKey(std::string_view path) {
  const std::shared_ptr<Node> node = Find(path);
  if (!node || node == root_) {
    return false;  // the root stays
  }
  const std::size_t cut = node->key_path.rfind('\\');
  const std::string parent_path =
      cut == std::string::npos ? std::string() : node->key_path.substr(0, cut);
  by_path_.at(parent_path)->RemoveChild(node);
  Forget(*node);
  return true;
}

bool MemoryCatalogue::HasKey(std::string_view path) const {
  return Find(path) != nullptr;
}

void MemoryCatalogue::SetBinary(std::string_view path, std::string_view name,
                                std::vector<std::uint8_t> bytes) {
  const std::shared_ptr<Node> node = Make(path);
  if (!node) {
    return;
  }
  if (std::vector<std::uint8_t>* stored = node->FindValue(name)) {
    *stored = std::move(bytes);
  } else {
    node->values.emplace_back(std::string(name), std::move(bytes));
  }
}

void MemoryCatalogue::SetDword(std::string_view path, std::string_view name, std::uint32_t value) {
  std::vector<std::uint8_t> bytes(4);
  for (std::size_t k = 0; k < bytes.size(); ++k) {
    bytes[k] = static_cast<std::uint8_t>(value >> (8 * k));
  }
  SetBinary(path, name, std::move(bytes));
}

void MemoryCatalogue::SetString(std::string_view path, std::string_view name,
                                std::string_view text) {
  std::vector<std::uint8_t> bytes(text.begin(), text.end());
  bytes.push_back(0);
  SetBinary(path, name, std::move(bytes));
}

bool MemoryCatalogue::RemoveValue(std::string_view path, std::string_view name) {
  const std::shared_ptr<Node> node = Find(path);
  if (!node) {
    return false;
  }
  return std::erase_if(node->values,
                       [name](const auto& value) { return SameName(value.first, name); }) != 0;
}

std::optional<std::vector<std::uint8_t>> MemoryCatalogue::Value(std::string_view path,
                                                                std::string_view name) const {
  const std::shared_ptr<Node> node = Find(path);
  const std::vector<std::uint8_t>* bytes = node ? node->FindValue(name) : nullptr;
  if (!bytes) {
    return std::nullopt;
  }
  return *bytes;
}

std::size_t MemoryCatalogue::KeyCount() const {
  return root_->Count();
}

void MemoryCatalogue::DenyOpen(std::string_view path) {
  denied_.emplace(KeyPath(path));
}

void MemoryCatalogue::AllowOpen(std::string_view path) {
  if (const auto found = denied_.find(KeyPath(path)); found != denied_.end()) {
    denied_.erase(found);
  }
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
  if (open == handles_.end()) {
    return std::nullopt;
  }
  return open->second.access;
}

}  // namespace korimo::sim
