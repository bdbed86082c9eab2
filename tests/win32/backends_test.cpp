// The Win32 back ends on the real registry and file calls.
#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "device/SEnumValue.h"
#include "registry_scratch.h"
#include "win32/device_files.h"
#include "win32/registry_catalogue.h"

// After the project headers: <windows.h> defines macros named like some of
// their constants.
#include "win32/windows_api.h"

namespace korimo::win32test {
namespace {

using Bytes = std::vector<std::uint8_t>;

class RegistryCatalogueTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = "SOFTWARE\\KorimoTests\\" + std::to_string(GetCurrentProcessId());
    ASSERT_TRUE(scratch_.Add(root_));
  }

  std::string root_;
  RegistryScratch scratch_;
  win32::RegistryCatalogue catalogue_;
};

TEST_F(RegistryCatalogueTest, OpensOnlyKeysThatExist) {
  const std::optional<KeyHandle> key = catalogue_.OpenKey(root_, kKeyRead);
  ASSERT_TRUE(key.has_value());
  catalogue_.CloseKey(*key);
  EXPECT_FALSE(catalogue_.OpenKey(root_ + "\\missing", kKeyRead).has_value());
}

TEST_F(RegistryCatalogueTest, AKeyOpenedForEnumerationReadsNoValues) {
  ASSERT_TRUE(scratch_.SetDword(root_, "Linked", 1));
  const std::optional<KeyHandle> key = catalogue_.OpenKey(root_, kKeyEnumerateSubKeys);
  ASSERT_TRUE(key.has_value());
  EXPECT_EQ(catalogue_.QueryValue(*key, "Linked"), std::nullopt);
  catalogue_.CloseKey(*key);
}

TEST_F(RegistryCatalogueTest, ATrailingBackslashNamesTheSameKey) {
  ASSERT_TRUE(scratch_.SetDword(root_ + "\\a\\#\\Control", "Linked", 1));
  const std::optional<KeyHandle> key = catalogue_.OpenKey(root_ + "\\a\\#\\Control\\", kKeyRead);
  ASSERT_TRUE(key.has_value());
  EXPECT_EQ(catalogue_.QueryValue(*key, "Linked"), (Bytes{1, 0, 0, 0}));
  catalogue_.CloseKey(*key);
}

TEST_F(RegistryCatalogueTest, EnumeratesSubkeysUntilTheListEnds) {
  for (const char* name : {"beta", "Alpha", "gamma"}) {
    ASSERT_TRUE(scratch_.Add(root_ + "\\" + name));
  }
  const std::optional<KeyHandle> key = catalogue_.OpenKey(root_, kKeyEnumerateSubKeys);
  ASSERT_TRUE(key.has_value());
  std::vector<std::string> names;
  for (std::uint32_t i = 0; i < 10; ++i) {
    const std::optional<std::string> name = catalogue_.EnumKey(*key, i);
    if (!name) {
      break;
    }
    names.push_back(*name);
  }
  catalogue_.CloseKey(*key);
  // The registry lists its subkeys sorted, ignoring case, with their spelling kept.
  EXPECT_EQ(names, (std::vector<std::string>{"Alpha", "beta", "gamma"}));
}

TEST_F(RegistryCatalogueTest, HandsOverTheLongestKeyNameWhole) {
  const std::string longest(255, 'k');
  ASSERT_TRUE(scratch_.Add(root_ + "\\" + longest));
  const std::optional<KeyHandle> key = catalogue_.OpenKey(root_, kKeyEnumerateSubKeys);
  ASSERT_TRUE(key.has_value());
  EXPECT_EQ(catalogue_.EnumKey(*key, 0), longest);
  EXPECT_EQ(catalogue_.EnumKey(*key, 1), std::nullopt);
  catalogue_.CloseKey(*key);
}

TEST_F(RegistryCatalogueTest, ReadsValuesWholeWhateverTheirLength) {
  const std::string key_path = root_ + "\\values";
  const Bytes exactly_256(256, 0x41);
  Bytes long_value(1000);
  for (std::size_t i = 0; i < long_value.size(); ++i) {
    long_value[i] = static_cast<std::uint8_t>(i * 7);
  }
  ASSERT_TRUE(scratch_.SetDword(key_path, "Linked", 1));
  ASSERT_TRUE(scratch_.SetString(key_path, "SymbolicLink", "\\\\.\\pipe\\x"));
  ASSERT_TRUE(scratch_.SetBinary(key_path, "Exactly256", exactly_256));
  ASSERT_TRUE(scratch_.SetBinary(key_path, "Long", long_value));
  ASSERT_TRUE(scratch_.SetBinary(key_path, "Empty", {}));

  const std::optional<KeyHandle> key = catalogue_.OpenKey(key_path, kKeyRead);
  ASSERT_TRUE(key.has_value());
  EXPECT_EQ(catalogue_.QueryValue(*key, "Linked"), (Bytes{1, 0, 0, 0}));
  const std::string link = "\\\\.\\pipe\\x";
  Bytes link_bytes(link.begin(), link.end());
  link_bytes.push_back(0);
  EXPECT_EQ(catalogue_.QueryValue(*key, "SymbolicLink"), link_bytes);
  EXPECT_EQ(catalogue_.QueryValue(*key, "Exactly256"), exactly_256);
  EXPECT_EQ(catalogue_.QueryValue(*key, "Long"), long_value);
  EXPECT_EQ(catalogue_.QueryValue(*key, "Empty"), Bytes{});
  EXPECT_EQ(catalogue_.QueryValue(*key, "Missing"), std::nullopt);
  catalogue_.CloseKey(*key);
}

TEST_F(RegistryCatalogueTest, TheSearchReadsNumbersAndTextsThroughTheRealCalls) {
  const std::string key_path = root_ + "\\instance\\#\\";
  const std::string long_link = "\\\\?\\" + std::string(300, 'p');
  ASSERT_TRUE(scratch_.SetString(key_path, "SymbolicLink", long_link));
  ASSERT_TRUE(scratch_.SetDword(key_path + "Control", "Linked", 1));
  ASSERT_TRUE(scratch_.SetBinary(key_path, "Cut", {'a', 'b', 0, 'c', 0}));
  SEnumValue search(catalogue_);
  EXPECT_EQ(search.ReadRegDword(key_path + "Control\\", "Linked"), 1u);
  EXPECT_EQ(search.ReadRegDword(key_path + "Control\\", "Absent"), 0u);
  EXPECT_EQ(search.ReadRegString(key_path, "SymbolicLink"), long_link);
  EXPECT_EQ(search.ReadRegString(key_path, "Cut"), "ab");
  EXPECT_EQ(search.ReadRegString(root_ + "\\nowhere\\", "SymbolicLink"), "");
}

class DeviceFilesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::array<char, MAX_PATH> folder{};
    std::array<char, MAX_PATH> name{};
    GetTempPathA(static_cast<DWORD>(folder.size()), folder.data());
    GetTempFileNameA(folder.data(), "kdf", 0, name.data());
    path_ = name.data();
    DeleteFileA(path_.c_str());
  }
  void TearDown() override { DeleteFileA(path_.c_str()); }

  std::string path_;
  win32::Win32DeviceFiles files_;
};

TEST_F(DeviceFilesTest, AWriteOpenNeedsAnExistingFileAReadOpenMakesOne) {
  EXPECT_FALSE(files_.Open(path_, kWriteOpen).has_value());              // OPEN_EXISTING
  const std::optional<FileHandle> read = files_.Open(path_, kReadOpen);  // OPEN_ALWAYS
  ASSERT_TRUE(read.has_value());
  files_.Close(*read);
  const std::optional<FileHandle> write = files_.Open(path_, kWriteOpen);
  ASSERT_TRUE(write.has_value());
  files_.Close(*write);
}

TEST_F(DeviceFilesTest, TheReadOpenIsExclusive) {
  const std::optional<FileHandle> read = files_.Open(path_, kReadOpen);
  ASSERT_TRUE(read.has_value());
  EXPECT_FALSE(files_.Open(path_, kWriteOpen).has_value());
  EXPECT_FALSE(files_.Open(path_, kReadOpen).has_value());
  files_.Close(*read);
  // Two write opens share the file for writing.
  const std::optional<FileHandle> first = files_.Open(path_, kWriteOpen);
  const std::optional<FileHandle> second = files_.Open(path_, kWriteOpen);
  EXPECT_TRUE(first.has_value());
  EXPECT_TRUE(second.has_value());
  EXPECT_FALSE(files_.Open(path_, kReadOpen).has_value());
  files_.Close(*first);
  files_.Close(*second);
}

TEST_F(DeviceFilesTest, WritesFlushesAndReadsBackInOneCallEach) {
  const std::optional<FileHandle> created = files_.Open(path_, kReadOpen);
  ASSERT_TRUE(created.has_value());
  files_.Close(*created);

  const Bytes packet{0x00, 0x04, 0x03, 0x05, 0x12, 0x00};
  const std::optional<FileHandle> write = files_.Open(path_, kWriteOpen);
  ASSERT_TRUE(write.has_value());
  EXPECT_TRUE(files_.Write(*write, packet));
  EXPECT_TRUE(files_.Flush(*write));
  files_.Close(*write);

  const std::optional<FileHandle> read = files_.Open(path_, kReadOpen);
  ASSERT_TRUE(read.has_value());
  std::array<std::uint8_t, 33> buffer{};
  buffer.fill(0xEE);
  // A short read: six bytes, the tail left as it was.
  EXPECT_EQ(files_.Read(*read, buffer), 6u);
  EXPECT_TRUE(std::equal(packet.begin(), packet.end(), buffer.begin()));
  EXPECT_EQ(buffer[6], 0xEE);
  EXPECT_EQ(buffer[32], 0xEE);
  files_.Close(*read);
}

TEST_F(DeviceFilesTest, CallsOnAReadOnlyHandleFail) {
  const std::optional<FileHandle> read = files_.Open(path_, kReadOpen);
  ASSERT_TRUE(read.has_value());
  files_.Close(*read);
  const HANDLE only_read =
      CreateFileA(path_.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(only_read, INVALID_HANDLE_VALUE);
  const Bytes packet{1, 2, 3};
  EXPECT_FALSE(files_.Write(reinterpret_cast<FileHandle>(only_read), packet));
  files_.Close(reinterpret_cast<FileHandle>(only_read));
}

TEST_F(DeviceFilesTest, AnEmptyOrMissingPathGivesNoHandle) {
  EXPECT_FALSE(files_.Open("", kReadOpen).has_value());
  EXPECT_FALSE(files_.Open("", kWriteOpen).has_value());
  EXPECT_FALSE(files_.Open("\\\\.\\pipe\\korimo-nobody-listens", kWriteOpen).has_value());
  EXPECT_FALSE(files_.Open("\\\\.\\pipe\\korimo-nobody-listens", kReadOpen).has_value());
}

}  // namespace
}  // namespace korimo::win32test
