#include <gtest/gtest.h>

#include "device/SEnumValue.h"
#include "device/registry_finder.h"
#include "support/fake_ports.h"

namespace korimo {
namespace {

using testing::BytesOf;
using testing::DwordBytes;
using testing::FakeCatalogue;

const std::string kCatalogue(kDeviceClassesKey);

// Registers one interface instance: "Linked" under #\Control, "SymbolicLink" under #.
void AddInstance(FakeCatalogue& registry, const std::string& klass, const std::string& instance,
                 std::optional<std::uint32_t> linked, std::optional<std::string> link) {
  const std::string path = kCatalogue + "\\" + klass + "\\" + instance;
  registry.AddKey(path + "\\#\\Control");
  if (linked) {
    registry.SetValue(path + "\\#\\Control", "Linked", DwordBytes(*linked));
  }
  if (link) {
    std::string text = *link;
    text.push_back('\0');
    registry.SetValue(path + "\\#", "SymbolicLink", BytesOf(text));
  }
}

const std::string kEngraver = "##?#USB#Vid_7e21&Pid_0065#6&1c3f&0&1#{a5dcbf10}";

class DiscoveryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    registry.AddKey(kCatalogue);
    AddInstance(registry, "{class-mouse}", "##?#HID#VID_046D&PID_C52B#7&1#{mouse}", 1,
                "\\\\?\\HID#mouse");
  }

  std::string Find() { return SEnumValue(registry).FindDevicePath(); }

  FakeCatalogue registry;
};

TEST_F(DiscoveryTest, NoEngraverGivesEmptyPath) {
  EXPECT_EQ(Find(), "");
  EXPECT_EQ(registry.StillOpen(), 0u);
}

TEST_F(DiscoveryTest, FindsActiveEngraverAndClosesEveryKey) {
  AddInstance(registry, "{class-usb}", kEngraver, 1, "\\\\?\\USB#engraver");
  EXPECT_EQ(Find(), "\\\\?\\USB#engraver");
  EXPECT_EQ(registry.StillOpen(), 0u);
  EXPECT_EQ(static_cast<std::size_t>(registry.closes), registry.opens.size());
}

TEST_F(DiscoveryTest, OpensExactlyTheDocumentedPathsWithTheirAccessMasks) {
  AddInstance(registry, "{class-usb}", kEngraver, 1, "\\\\?\\USB#engraver");
  Find();
  const std::string instance = kCatalogue + "\\{class-usb}\\" + kEngraver;
  ASSERT_EQ(registry.opens.size(), 5u);
  EXPECT_EQ(registry.opens[0].path, kCatalogue);
  EXPECT_EQ(registry.opens[0].access, 0x0008u);
  EXPECT_EQ(registry.opens[1].path, kCatalogue + "\\{class-mouse}");
  EXPECT_EQ(registry.opens[1].access, 0x0008u);
  EXPECT_EQ(registry.opens[2].path, kCatalogue + "\\{class-usb}");
  EXPECT_EQ(registry.opens[3].path, instance + "\\#\\Control\\");
  EXPECT_EQ(registry.opens[3].access, 0x20019u);
  EXPECT_EQ(registry.opens[4].path, instance + "\\#\\");
  EXPECT_EQ(registry.opens[4].access, 0x20019u);
}

TEST_F(DiscoveryTest, InactiveOrUnlinkedInstancesAreSkipped) {
  AddInstance(registry, "{class-usb}", kEngraver, 0, "\\\\?\\USB#inactive");
  AddInstance(registry, "{class-usb}", kEngraver + "x", std::nullopt, "\\\\?\\USB#no-linked");
  AddInstance(registry, "{class-usb}", kEngraver + "y", 2, "\\\\?\\USB#linked-two");
  EXPECT_EQ(Find(), "");
  AddInstance(registry, "{class-usb}", kEngraver + "z", 1, "\\\\?\\USB#active");
  EXPECT_EQ(Find(), "\\\\?\\USB#active");
}

TEST_F(DiscoveryTest, MatchIsCaseSensitive) {
  AddInstance(registry, "{class-usb}", "##?#USB#VID_7E21&PID_0065#1#{g}", 1, "\\\\?\\upper");
  AddInstance(registry, "{class-usb}", "##?#USB#vid_7e21&pid_0065#2#{g}", 1, "\\\\?\\lower");
  EXPECT_EQ(Find(), "");
}

TEST_F(DiscoveryTest, FirstActiveInstanceInEnumerationOrderWins) {
  AddInstance(registry, "{class-b}", kEngraver + "1", 1, "\\\\?\\first-class-first");
  AddInstance(registry, "{class-b}", kEngraver + "2", 1, "\\\\?\\first-class-second");
  AddInstance(registry, "{class-a}", kEngraver + "3", 1, "\\\\?\\second-class");
  EXPECT_EQ(Find(), "\\\\?\\first-class-first");
  // The search stops at the first find: the later class is never opened.
  for (const auto& open : registry.opens) {
    EXPECT_EQ(open.path.find("{class-a}"), std::string::npos) << open.path;
  }
}

TEST_F(DiscoveryTest, UnreadableSymbolicLinkEndsThatClassOnly) {
  AddInstance(registry, "{class-usb}", kEngraver + "1", 1, std::nullopt);
  AddInstance(registry, "{class-usb}", kEngraver + "2", 1, "\\\\?\\same-class");
  EXPECT_EQ(Find(), "");
  AddInstance(registry, "{class-later}", kEngraver + "3", 1, "\\\\?\\later-class");
  EXPECT_EQ(Find(), "\\\\?\\later-class");
  EXPECT_EQ(registry.StillOpen(), 0u);
}

TEST_F(DiscoveryTest, SymbolicLinkIsCutAtFirstNul) {
  AddInstance(registry, "{class-usb}", kEngraver, 1, std::string("\\\\?\\USB#a\0garbage", 17));
  EXPECT_EQ(Find(), "\\\\?\\USB#a");
}

TEST_F(DiscoveryTest, SymbolicLinkLongerThanTheBufferIsReadWhole) {
  const std::string long_link = "\\\\?\\USB#" + std::string(400, 'q');
  AddInstance(registry, "{class-usb}", kEngraver, 1, long_link);
  EXPECT_EQ(Find(), long_link);
}

TEST_F(DiscoveryTest, InstanceNameIsCutAtFirstNul) {
  registry.AddRawSubkeyName(kCatalogue + "\\{class-usb}",
                            std::string("##?#USB#x\0", 10) + "Vid_7e21&Pid_0065");
  EXPECT_EQ(Find(), "");
  EXPECT_EQ(registry.StillOpen(), 0u);
}

TEST_F(DiscoveryTest, UnopenableCatalogueGivesEmptyPathAndNothingElse) {
  AddInstance(registry, "{class-usb}", kEngraver, 1, "\\\\?\\USB#engraver");
  registry.Deny(kCatalogue);
  EXPECT_EQ(Find(), "");
  EXPECT_EQ(registry.opens.size(), 1u);
  EXPECT_EQ(registry.closes, 0);
}

TEST_F(DiscoveryTest, UnopenableClassIsSkipped) {
  AddInstance(registry, "{class-locked}", kEngraver + "1", 1, "\\\\?\\locked");
  AddInstance(registry, "{class-open}", kEngraver + "2", 1, "\\\\?\\open");
  registry.Deny(kCatalogue + "\\{class-locked}");
  EXPECT_EQ(Find(), "\\\\?\\open");
  EXPECT_EQ(registry.StillOpen(), 0u);
}

TEST(RegistryValues, DwordReadsLittleEndianAndRejectsOversizedData) {
  FakeCatalogue registry;
  registry.SetValue("K", "four", DwordBytes(0x01020304));
  registry.SetValue("K", "one", {0x01});
  registry.SetValue("K", "eight", {1, 0, 0, 0, 0, 0, 0, 0});
  SEnumValue search(registry);
  EXPECT_EQ(search.ReadRegDword("K", "four"), 0x01020304u);
  EXPECT_EQ(search.ReadRegDword("K", "one"), 1u);
  EXPECT_EQ(search.ReadRegDword("K", "eight"), 0u);
  EXPECT_EQ(search.ReadRegDword("K", "absent"), 0u);
  EXPECT_EQ(search.ReadRegDword("missing", "four"), 0u);
  EXPECT_EQ(search.ReadRegString("missing", "four"), "");
  EXPECT_EQ(registry.StillOpen(), 0u);
}

// The list keeps every active engraver, by the walk's rules and in its order:
// the walk's own result comes first, inactive and wrongly cased ones are left
// out, an active one without a readable link is listed with its trouble, and a
// choice narrows the walk to one of them.
TEST_F(DiscoveryTest, ListsEveryActiveEngraverInWalkOrder) {
  AddInstance(registry, "{class-a}", "##?#USB#VID_7E21&PID_0065#9#{a}", 1, "\\\\?\\capitals");
  AddInstance(registry, "{class-a}", "##?#USB#Vid_7e21&Pid_0065#1#{a}", 0, "\\\\?\\stale");
  AddInstance(registry, "{class-a}", "##?#USB#Vid_7e21&Pid_0065#2#{a}", 1, "\\\\?\\first");
  AddInstance(registry, "{class-a}", "##?#USB#Vid_7e21&Pid_0065#3#{a}", 1, std::nullopt);
  AddInstance(registry, "{class-b}", "##?#USB#Vid_7e21&Pid_0065#4#{b}", 1, "\\\\?\\second");
  RegistryFinder finder(registry);
  const std::vector<FoundEngraver> expected{
      {"\\\\?\\first", ""}, {"", std::string(kNoLinkTrouble)}, {"\\\\?\\second", ""}};
  EXPECT_EQ(finder.ListEngravers(), expected);
  EXPECT_EQ(registry.StillOpen(), 0u);
  EXPECT_EQ(finder.FindDevicePath(""), Find());
  EXPECT_EQ(Find(), "\\\\?\\first");

  struct Choice {
    std::string chosen;
    std::string found;
  };
  for (const Choice& choice : {Choice{"\\\\?\\SECOND", "\\\\?\\second"}, Choice{"\\\\?\\stale", ""},
                               Choice{"", "\\\\?\\first"}}) {
    EXPECT_EQ(finder.FindDevicePath(choice.chosen), choice.found) << choice.chosen;
  }
}

}  // namespace
}  // namespace korimo
