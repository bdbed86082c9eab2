#include "sim/memory_catalogue.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace korimo::sim {
namespace {

std::vector<std::string> Subkeys(MemoryCatalogue& catalogue, std::string_view path) {
  std::vector<std::string> names;
  const auto key = catalogue.OpenKey(path, kKeyEnumerateSubKeys);
  if (!key) {
    return names;
  }
  for (std::uint32_t i = 0;; ++i) {
    auto name = catalogue.EnumKey(*key, i);
    if (!name) {
      break;
    }
    names.push_back(*name);
  }
  catalogue.CloseKey(*key);
  return names;
}

std::vector<std::uint8_t> Bytes(std::string_view text) {
  return {text.begin(), text.end()};
}

class MemoryCatalogueTest : public ::testing::Test {
 protected:
  void SetUp() override {
    catalogue_.AddKey("SYSTEM\\Classes\\Zeta");
    catalogue_.AddKey("SYSTEM\\Classes\\alpha");
    catalogue_.AddKey("SYSTEM\\Classes\\Mid");
  }

  MemoryCatalogue catalogue_;
};

TEST_F(MemoryCatalogueTest, EnumeratesInInsertionOrderWithTheOriginalSpelling) {
  EXPECT_EQ(Subkeys(catalogue_, "SYSTEM\\Classes"),
            (std::vector<std::string>{"Zeta", "alpha", "Mid"}));
}

TEST_F(MemoryCatalogueTest, KeyNamesAreCaseInsensitive) {
  catalogue_.AddKey("system\\CLASSES\\zeta\\Inner");
  EXPECT_EQ(Subkeys(catalogue_, "SYSTEM\\Classes"),
            (std::vector<std::string>{"Zeta", "alpha", "Mid"}))
      << "the same key in other letters is not a new key";
  EXPECT_TRUE(catalogue_.HasKey("SYSTEM\\CLASSES\\ZETA\\inner"));
  EXPECT_EQ(catalogue_.KeyCount(), 6u);
}

// Only the letters A to Z fold: the characters next to them in the code table,
// and bytes above 127, are names of their own.
TEST_F(MemoryCatalogueTest, OnlyAsciiLettersFold) {
  catalogue_.AddKey("Fold\\LONGNAME[");
  catalogue_.AddKey("Fold\\longname{");
  catalogue_.AddKey("Fold\\LongName@");
  catalogue_.AddKey("Fold\\longname`");
  catalogue_.AddKey("Fold\\longname\xC4");
  catalogue_.AddKey("Fold\\longname\xE4");
  catalogue_.AddKey("Fold\\longname[");
  catalogue_.AddKey("FOLD\\LONGNAME@");
  EXPECT_EQ(Subkeys(catalogue_, "fold").size(), 6u);
  EXPECT_TRUE(catalogue_.HasKey("fold\\lOnGnAmE\xC4"));
}

TEST_F(MemoryCatalogueTest, EveryLetterFoldsWhereverItStands) {
  const std::string lower = "abcdefghijklmnopqrstuvwxyz";
  const std::string upper = "ABCDEFGHIJKLMNOPQRSTUVWXYZ";
  for (std::size_t shift = 0; shift < 8; ++shift) {
    catalogue_.AddKey("Fold\\" + std::string(shift, '-') + lower);
    EXPECT_TRUE(catalogue_.HasKey("FOLD\\" + std::string(shift, '-') + upper)) << shift;
  }
}

TEST_F(MemoryCatalogueTest, PathsAcceptOneTrailingBackslashAndNothingOdd) {
  EXPECT_TRUE(catalogue_.OpenKey("SYSTEM\\Classes\\Mid\\", kKeyRead));
  EXPECT_FALSE(catalogue_.OpenKey("\\SYSTEM\\Classes", kKeyRead));
  EXPECT_FALSE(catalogue_.OpenKey("SYSTEM\\\\Classes", kKeyRead));
  EXPECT_FALSE(catalogue_.OpenKey("SYSTEM\\Classes\\Mid\\\\", kKeyRead));
  EXPECT_FALSE(catalogue_.OpenKey("SYSTEM\\Classes\\Missing", kKeyRead));
  EXPECT_EQ(catalogue_.Counts().opens, 1u);
  EXPECT_EQ(catalogue_.Counts().failed_opens, 4u);
}

TEST_F(MemoryCatalogueTest, TheEmptyPathIsTheRoot) {
  EXPECT_EQ(Subkeys(catalogue_, ""), (std::vector<std::string>{"SYSTEM"}));
}

TEST_F(MemoryCatalogueTest, EnumerationEndsAfterTheLastKey) {
  const auto key = catalogue_.OpenKey("SYSTEM\\Classes", kKeyEnumerateSubKeys);
  ASSERT_TRUE(key);
  EXPECT_TRUE(catalogue_.EnumKey(*key, 2));
  EXPECT_FALSE(catalogue_.EnumKey(*key, 3));
  EXPECT_FALSE(catalogue_.EnumKey(*key, 0xFFFFFFFFu));
  catalogue_.CloseKey(*key);
}

TEST_F(MemoryCatalogueTest, ANameLongerThanTheNameBufferFailsLikeMoreData) {
  catalogue_.AddKey("Long\\" + std::string(255, 'a'));
  catalogue_.AddKey("Long\\" + std::string(256, 'b'));
  catalogue_.AddKey("Long\\after");
  const auto key = catalogue_.OpenKey("Long", kKeyEnumerateSubKeys);
  ASSERT_TRUE(key);
  EXPECT_EQ(catalogue_.EnumKey(*key, 0), std::string(255, 'a'));
  EXPECT_FALSE(catalogue_.EnumKey(*key, 1));
  EXPECT_EQ(catalogue_.EnumKey(*key, 2), "after");
  catalogue_.CloseKey(*key);
}

TEST_F(MemoryCatalogueTest, ValuesAreRawBytesFoundIgnoringCase) {
  catalogue_.SetString("Dev\\#", "SymbolicLink", "\\\\?\\USB#x");
  catalogue_.SetDword("Dev\\#\\Control", "Linked", 0x01020304);
  catalogue_.SetBinary("Dev", "Raw", {0xAA, 0x00, 0xBB});

  const auto link = catalogue_.OpenKey("Dev\\#\\", kKeyRead);
  const auto control = catalogue_.OpenKey("dev\\#\\control\\", kKeyRead);
  const auto dev = catalogue_.OpenKey("Dev", kKeyRead);
  ASSERT_TRUE(link && control && dev);
  auto expected_link = Bytes("\\\\?\\USB#x");
  expected_link.push_back(0);
  EXPECT_EQ(catalogue_.QueryValue(*link, "symboliclink"), expected_link);
  EXPECT_EQ(catalogue_.QueryValue(*control, "LINKED"),
            (std::vector<std::uint8_t>{0x04, 0x03, 0x02, 0x01}));
  EXPECT_EQ(catalogue_.QueryValue(*dev, "Raw"), (std::vector<std::uint8_t>{0xAA, 0x00, 0xBB}));
  EXPECT_FALSE(catalogue_.QueryValue(*dev, "Missing"));
  for (const KeyHandle key : {*link, *control, *dev}) {
    catalogue_.CloseKey(key);
  }
}

TEST_F(MemoryCatalogueTest, SettingAValueAgainReplacesIt) {
  catalogue_.SetDword("Dev", "Linked", 1);
  catalogue_.SetDword("Dev", "linked", 0);
  EXPECT_EQ(catalogue_.Value("Dev", "Linked"), (std::vector<std::uint8_t>{0, 0, 0, 0}));
}

TEST_F(MemoryCatalogueTest, RemovedValuesAndKeysAreGone) {
  catalogue_.SetDword("Dev\\#\\Control", "Linked", 1);
  EXPECT_TRUE(catalogue_.RemoveValue("Dev\\#\\Control", "LINKED"));
  EXPECT_FALSE(catalogue_.Value("Dev\\#\\Control", "Linked"));
  EXPECT_FALSE(catalogue_.RemoveValue("Dev\\#\\Control", "Linked"));

  EXPECT_TRUE(catalogue_.RemoveKey("SYSTEM\\Classes\\ALPHA"));
  EXPECT_EQ(Subkeys(catalogue_, "SYSTEM\\Classes"), (std::vector<std::string>{"Zeta", "Mid"}));
  EXPECT_FALSE(catalogue_.RemoveKey("SYSTEM\\Classes\\alpha"));
  EXPECT_FALSE(catalogue_.RemoveKey(""));
  EXPECT_TRUE(catalogue_.RemoveKey("Dev"));
  EXPECT_FALSE(catalogue_.HasKey("Dev\\#\\Control"));
}

TEST_F(MemoryCatalogueTest, AKeyRemovedWhileOpenReadsNothingThroughItsHandle) {
  catalogue_.SetDword("SYSTEM\\Classes\\Mid\\Sub", "Linked", 1);
  const auto key = catalogue_.OpenKey("SYSTEM\\Classes\\Mid", kKeyRead);
  const auto sub = catalogue_.OpenKey("SYSTEM\\Classes\\Mid\\Sub", kKeyRead);
  ASSERT_TRUE(key && sub);
  catalogue_.RemoveKey("SYSTEM\\Classes\\Mid");
  EXPECT_FALSE(catalogue_.EnumKey(*key, 0));
  EXPECT_FALSE(catalogue_.QueryValue(*sub, "Linked"));
  catalogue_.AddKey("SYSTEM\\Classes\\Mid\\Sub");
  EXPECT_FALSE(catalogue_.EnumKey(*key, 0)) << "a new key of the same name is another key";
  catalogue_.CloseKey(*key);
  catalogue_.CloseKey(*sub);
  EXPECT_TRUE(catalogue_.OpenHandles().empty());
}

TEST_F(MemoryCatalogueTest, AHandleAllowsWhatItsAccessAllows) {
  catalogue_.SetDword("SYSTEM\\Classes\\Mid", "Linked", 1);
  const auto enumerate = catalogue_.OpenKey("SYSTEM\\Classes", kKeyEnumerateSubKeys);
  const auto query = catalogue_.OpenKey("SYSTEM\\Classes\\Mid", kKeyQueryValue);
  const auto enumerate_mid = catalogue_.OpenKey("SYSTEM\\Classes\\Mid", kKeyEnumerateSubKeys);
  const auto read = catalogue_.OpenKey("SYSTEM\\Classes", kKeyRead);
  ASSERT_TRUE(enumerate && query && enumerate_mid && read);
  EXPECT_TRUE(catalogue_.EnumKey(*enumerate, 0));
  EXPECT_FALSE(catalogue_.EnumKey(*query, 0));
  EXPECT_TRUE(catalogue_.EnumKey(*read, 0));
  EXPECT_TRUE(catalogue_.QueryValue(*query, "Linked"));
  EXPECT_FALSE(catalogue_.QueryValue(*enumerate_mid, "Linked"));
  EXPECT_EQ(catalogue_.AccessOf(*read), kKeyRead);
  for (const KeyHandle key : {*enumerate, *query, *enumerate_mid, *read}) {
    catalogue_.CloseKey(key);
  }
}

TEST_F(MemoryCatalogueTest, CountsOpensClosesAndTheHandlesStillOpen) {
  const auto a = catalogue_.OpenKey("SYSTEM", kKeyRead);
  const auto b = catalogue_.OpenKey("SYSTEM\\Classes", kKeyRead);
  ASSERT_TRUE(a && b);
  EXPECT_NE(*a, *b);
  EXPECT_EQ(catalogue_.OpenHandles(), (std::set<KeyHandle>{*a, *b}));
  catalogue_.CloseKey(*a);
  EXPECT_EQ(catalogue_.OpenHandles(), (std::set<KeyHandle>{*b}));
  EXPECT_EQ(catalogue_.OpenHandlePaths(), (std::vector<std::string>{"SYSTEM\\Classes"}));
  catalogue_.CloseKey(*a);  // twice
  catalogue_.CloseKey(*b);
  EXPECT_EQ(catalogue_.Counts().opens, 2u);
  EXPECT_EQ(catalogue_.Counts().closes, 2u);
  EXPECT_EQ(catalogue_.Counts().bad_closes, 1u);
  EXPECT_TRUE(catalogue_.OpenHandles().empty());
  EXPECT_FALSE(catalogue_.EnumKey(*b, 0)) << "a closed handle enumerates nothing";
}

TEST_F(MemoryCatalogueTest, ADeniedKeyCannotBeOpenedButItsNeighboursCan) {
  catalogue_.DenyOpen("system\\classes\\");
  EXPECT_FALSE(catalogue_.OpenKey("SYSTEM\\Classes", kKeyEnumerateSubKeys));
  const auto below = catalogue_.OpenKey("SYSTEM\\Classes\\Mid", kKeyRead);
  const auto above = catalogue_.OpenKey("SYSTEM", kKeyRead);
  EXPECT_TRUE(below && above);
  catalogue_.AllowOpen("SYSTEM\\Classes");
  const auto again = catalogue_.OpenKey("SYSTEM\\Classes", kKeyRead);
  EXPECT_TRUE(again);
  for (const auto& key : {below, above, again}) {
    catalogue_.CloseKey(*key);
  }
  EXPECT_EQ(catalogue_.Counts().failed_opens, 1u);
}

TEST_F(MemoryCatalogueTest, AnUnavailableCatalogueOpensNothing) {
  catalogue_.SetUnavailable(true);
  EXPECT_FALSE(catalogue_.OpenKey("", kKeyRead));
  EXPECT_FALSE(catalogue_.OpenKey("SYSTEM", kKeyRead));
  catalogue_.SetUnavailable(false);
  const auto key = catalogue_.OpenKey("SYSTEM", kKeyRead);
  ASSERT_TRUE(key);
  catalogue_.CloseKey(*key);
}

TEST_F(MemoryCatalogueTest, AnEmbeddedNulIsHandedOverAsStored) {
  catalogue_.AddKey(std::string("Odd\\ab\0cd", 9));
  EXPECT_EQ(Subkeys(catalogue_, "Odd"), (std::vector<std::string>{std::string("ab\0cd", 5)}));
}

}  // namespace
}  // namespace korimo::sim
