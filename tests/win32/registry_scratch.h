// Keys below HKEY_LOCAL_MACHINE written for a test and removed again when the
// scratch goes (each key named to Add is removed with everything below it).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace korimo::win32test {

class RegistryScratch {
 public:
  RegistryScratch() = default;
  ~RegistryScratch();
  RegistryScratch(const RegistryScratch&) = delete;
  RegistryScratch& operator=(const RegistryScratch&) = delete;

  // Creates `path` (and its parents) and marks it for removal; false on failure.
  bool Add(const std::string& path);
  bool SetDword(const std::string& path, const std::string& name, std::uint32_t value);
  bool SetString(const std::string& path, const std::string& name, const std::string& text);
  bool SetBinary(const std::string& path, const std::string& name,
                 const std::vector<std::uint8_t>& bytes);

 private:
  bool Set(const std::string& path, const std::string& name, unsigned long type,
           const std::uint8_t* data, std::size_t size);

  std::vector<std::string> added_;
};

}  // namespace korimo::win32test
