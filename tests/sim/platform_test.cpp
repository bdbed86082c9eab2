#include "sim/platform.h"

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <utility>
#include <vector>

#include "device/SEnumValue.h"

namespace korimo::sim {
namespace {

std::vector<std::string> Subkeys(MemoryCatalogue& catalogue, std::string_view path) {
  std::vector<std::string> names;
  const auto key = catalogue.OpenKey(path, kKeyEnumerateSubKeys);
  if (!key) {
    return names;
  }
  for (std::uint32_t i = 0; auto name = catalogue.EnumKey(*key, i); ++i) {
    names.push_back(*name);
  }
  catalogue.CloseKey(*key);
  return names;
}

std::uint32_t Linked(MemoryCatalogue& catalogue, const std::string& instance_key) {
  const auto bytes = catalogue.Value(instance_key + "\\#\\Control", "Linked");
  if (!bytes || bytes->size() != 4) {
    return 0xFFFFFFFF;
  }
  std::uint32_t value = 0;
  for (std::size_t k = 0; k < 4; ++k) {
    value |= std::uint32_t{(*bytes)[k]} << (8 * k);
  }
  return value;
}

class PlatformTest : public ::testing::Test {
 protected:
  ManualClock clock_;
  SimPlatform platform_{clock_};
  MemoryCatalogue& catalogue_ = platform_.GetCatalogue();
};

TEST_F(PlatformTest, TheCatalogueLooksLikeAPCs) {
  const std::vector<std::string> classes = Subkeys(catalogue_, kDeviceClassesKey);
  ASSERT_EQ(classes.size(), 200u);
  EXPECT_EQ(classes[0], "{4d1e55b2-f16f-11cf-88cb-001111000030}");
  EXPECT_EQ(classes[180], kEngraverClass) << "the engraver's class comes after most others";
  for (const std::string& name : classes) {
    EXPECT_EQ(name.size(), 38u);
    EXPECT_EQ(name.front(), '{');
  }
  const std::string second_class = std::string(kDeviceClassesKey) + "\\" + classes[1];
  const std::vector<std::string> instances = Subkeys(catalogue_, second_class);
  ASSERT_FALSE(instances.empty());
  for (const std::string& instance : instances) {
    EXPECT_EQ(instance.rfind("##?#", 0), 0u) << instance;
    EXPECT_TRUE(instance.ends_with("#" + classes[1])) << instance;
    const std::string key = second_class + "\\" + instance;
    EXPECT_EQ(Subkeys(catalogue_, key + "\\#"), (std::vector<std::string>{"Control"}));
    const auto link = catalogue_.Value(key + "\\#", "SymbolicLink");
    ASSERT_TRUE(link);
    EXPECT_EQ(std::string(link->begin(), link->end()), "\\\\?\\" + instance.substr(4) + '\0');
    EXPECT_LE(Linked(catalogue_, key), 1u);
  }
  EXPECT_GT(catalogue_.KeyCount(), 800u);
}

TEST_F(PlatformTest, TheEngraverIsRegisteredWhereTheDeviceFileAnswers) {
  const EngraverEntry& engraver = platform_.Engraver();
  EXPECT_EQ(engraver.instance_key,
            std::string(kDeviceClassesKey) + "\\" + std::string(kEngraverClass) +
                "\\##?#USB#Vid_7e21&Pid_0065#6&1c3f4e2&0&1#" + std::string(kEngraverClass));
  EXPECT_EQ(platform_.DevicePath(),
            "\\\\?\\USB#Vid_7e21&Pid_0065#6&1c3f4e2&0&1#" + std::string(kEngraverClass));
  EXPECT_EQ(platform_.GetFiles().AttachedPath(), platform_.DevicePath());
  EXPECT_EQ(Linked(catalogue_, engraver.instance_key), 1u);
}

TEST_F(PlatformTest, DiscoveryFindsTheEngraverAndClosesEveryKey) {
  SEnumValue discovery(catalogue_);
  EXPECT_EQ(discovery.FindDevicePath(), platform_.DevicePath());
  EXPECT_TRUE(catalogue_.OpenHandles().empty());
  EXPECT_EQ(catalogue_.Counts().opens, catalogue_.Counts().closes);
  EXPECT_GT(catalogue_.Counts().opens, 180u) << "every class up to the engraver's was opened";
}

TEST_F(PlatformTest, UnplugTurnsLinkedOffAndClosesTheDeviceFile) {
  platform_.Unplug();
  EXPECT_FALSE(platform_.Plugged());
  EXPECT_EQ(Linked(catalogue_, platform_.Engraver().instance_key), 0u);
  EXPECT_FALSE(platform_.GetFiles().Open(platform_.DevicePath(), kReadOpen));
  // Left behind: the inactive registration and the capitalised decoy.
  EXPECT_EQ(SEnumValue(catalogue_).FindDevicePath(), "");

  platform_.Plug();
  EXPECT_TRUE(platform_.Plugged());
  EXPECT_EQ(Linked(catalogue_, platform_.Engraver().instance_key), 1u);
  EXPECT_EQ(SEnumValue(catalogue_).FindDevicePath(), platform_.DevicePath());
  const auto file = platform_.GetFiles().Open(platform_.DevicePath(), kReadOpen);
  ASSERT_TRUE(file);
  platform_.GetFiles().Close(*file);
}

TEST(PlatformOptionsTest, APlatformCanStartUnplugged) {
  ManualClock clock;
  SimPlatform platform(clock, PlatformOptions{.plugged = false});
  EXPECT_FALSE(platform.Plugged());
  EXPECT_EQ(SEnumValue(platform.GetCatalogue()).FindDevicePath(), "");
}

TEST(PlatformOptionsTest, TheSameSeedGivesTheSameCatalogue) {
  ManualClock clock;
  SimPlatform a(clock);
  SimPlatform b(clock);
  CatalogueShape other_seed;
  other_seed.seed = 7;
  SimPlatform c(clock, PlatformOptions{.catalogue = other_seed});
  const std::string class_key =
      std::string(kDeviceClassesKey) + "\\" + Subkeys(a.GetCatalogue(), kDeviceClassesKey)[20];
  EXPECT_EQ(Subkeys(a.GetCatalogue(), class_key), Subkeys(b.GetCatalogue(), class_key));
  EXPECT_EQ(a.GetCatalogue().KeyCount(), b.GetCatalogue().KeyCount());
  EXPECT_NE(Subkeys(a.GetCatalogue(), kDeviceClassesKey),
            Subkeys(c.GetCatalogue(), kDeviceClassesKey));
}

TEST(PlatformOptionsTest, TheBenchmarkShapeHoldsTheEngraverInTheLastClass) {
  ManualClock clock;
  CatalogueShape shape;
  shape.classes = 200;
  shape.min_instances = 10;
  shape.max_instances = 10;
  shape.engraver_class = 199;
  SimPlatform platform(clock, PlatformOptions{.catalogue = shape});
  MemoryCatalogue& catalogue = platform.GetCatalogue();
  const std::vector<std::string> classes = Subkeys(catalogue, kDeviceClassesKey);
  ASSERT_EQ(classes.size(), 200u);
  EXPECT_EQ(classes.back(), kEngraverClass);
  EXPECT_EQ(Subkeys(catalogue, std::string(kDeviceClassesKey) + "\\" + classes[3]).size(), 10u);
  EXPECT_EQ(SEnumValue(catalogue).FindDevicePath(), platform.DevicePath());
}

TEST(PlatformOptionsTest, ASingleClassStillHoldsTheEngraver) {
  ManualClock clock;
  CatalogueShape shape;
  shape.classes = 0;
  shape.min_instances = 0;
  shape.max_instances = 0;
  SimPlatform platform(clock, PlatformOptions{.catalogue = shape});
  EXPECT_EQ(Subkeys(platform.GetCatalogue(), kDeviceClassesKey),
            (std::vector<std::string>{std::string(kEngraverClass)}));
  EXPECT_EQ(SEnumValue(platform.GetCatalogue()).FindDevicePath(), platform.DevicePath());
}

// Engravers added later register after the first, answer at their own paths
// through AllFiles, and come and go one by one.
TEST_F(PlatformTest, SeveralEngraversEachAnswerAtTheirOwnPath) {
  const std::size_t second = platform_.AddEngraver();
  const std::size_t third = platform_.AddEngraver(false);
  ASSERT_EQ(platform_.EngraverCount(), 3u);
  platform_.GetBoard(second).SetCell(0x05, 0x22);
  EXPECT_EQ(SEnumValue(catalogue_).ListDevicePaths(),
            (std::vector<std::string>{platform_.DevicePath(), platform_.DevicePath(second)}));
  EXPECT_EQ(SEnumValue(catalogue_).FindDevicePath(), platform_.DevicePath());

  DeviceFiles& files = platform_.AllFiles();
  using Expected = std::pair<std::size_t, int>;
  for (const auto& [index, serial_high] : {Expected{0, 0x12}, Expected{second, 0x22}}) {
    const auto handle = files.Open(platform_.DevicePath(index), kReadOpen);
    ASSERT_TRUE(handle) << index;
    std::array<std::uint8_t, kStatusSize> status{};
    EXPECT_EQ(files.Read(*handle, status), kStatusSize);
    EXPECT_EQ(status[5], serial_high) << index;
    files.Close(*handle);
  }
  EXPECT_FALSE(files.Open(platform_.DevicePath(third), kReadOpen)) << "not plugged in";
  platform_.Plug(third);
  platform_.Unplug(0);
  EXPECT_EQ(SEnumValue(catalogue_).ListDevicePaths(),
            (std::vector<std::string>{platform_.DevicePath(second), platform_.DevicePath(third)}));
  EXPECT_TRUE(files.Open(platform_.DevicePath(third), kWriteOpen));
  EXPECT_EQ(platform_.GetFiles(0).Counts().opens, 1u);
}

}  // namespace
}  // namespace korimo::sim
