// The libusb back end against simulated engravers on umockdev's bus: discovery,
// the kept-open handle, transfers and what goes wrong on the wire.
#include "usb/usb_engraver.h"

#include <gtest/gtest.h>
#include <linux/ioctl.h>
#include <linux/usbdevice_fs.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "cli/cli.h"
#include "config/presets.h"
#include "config/set_plan.h"
#include "device/device_troubles.h"
#include "device/modKT90.h"
#include "sim/platform.h"
#include "tests/cli/scripted_pacer.h"
#include "tests/support/fake_ports.h"
#include "tests/usb/usb_testbed.h"
#include "usb/usb_diagnosis.h"

namespace korimo::usbtest {
namespace {

using Bytes = std::vector<std::uint8_t>;

// A short time limit: the timeout case waits for it once.
constexpr std::chrono::milliseconds kTestTimeout{100};

class UsbEngraverTest : public ::testing::Test {
 protected:
  // One testbed for the program: making and tearing one down is slow.
  static void SetUpTestSuite() { testbed_ = new UsbTestbed(); }
  static void TearDownTestSuite() {
    delete testbed_;
    testbed_ = nullptr;
  }

  // Every engraver gets an address of its own, so no test meets another's.
  static UsbPlace NewPlace(unsigned bus = 3, std::string ports = "2") {
    static unsigned next_address = 10;
    UsbPlace place;
    place.bus = bus;
    place.ports = std::move(ports);
    place.address = next_address++;
    return place;
  }

  UsbBoard& PlugBoard(UsbPlace place) {
    boards_.push_back(std::make_unique<UsbBoard>(std::move(place)));
    testbed_->Plug(*boards_.back());
    plugged_.push_back(boards_.back().get());
    return *boards_.back();
  }

  void Unplug(UsbBoard& board) {
    testbed_->Unplug(board);
    std::erase(plugged_, &board);
  }

  void TearDown() override {
    while (!plugged_.empty()) {
      Unplug(*plugged_.back());
    }
  }

  // korimo-cli run in-process on this back end.
  int RunCli(std::vector<std::string> args) {
    std::istringstream in;
    out_.str("");
    err_.str("");
    const cli::PortsProvider ports = [this](bool, std::ostream&) {
      return std::optional(platform::Usb(usb_));
    };
    return cli::RunCli(args, {in, out_, err_}, ports, pacer_);
  }

  // The packets korimo-cli writes for `args` through the simulated device files.
  static std::vector<Bytes> PacketsThroughSimulatedFiles(std::vector<std::string> args) {
    sim::ManualClock clock;
    sim::PlatformOptions options;
    options.timings.memory_write = sim::Micros{0};
    options.timings.memory_read = sim::Micros{0};
    sim::SimPlatform platform(clock, options);
    platform.GetFiles().EnableLog();
    std::istringstream in;
    std::ostringstream out;
    std::ostringstream err;
    const cli::PortsProvider ports = [&](bool, std::ostream&) {
      return std::optional(korimo::platform::Simulated(platform));
    };
    EXPECT_EQ(cli::RunCli(args, {in, out, err}, ports), cli::kExitOk) << err.str();
    std::vector<Bytes> packets;
    for (const sim::FileLogEntry& entry : platform.GetFiles().Log()) {
      if (entry.kind == sim::FileEvent::kWrite) {
        packets.push_back(entry.bytes);
      }
    }
    return packets;
  }

  static UsbTestbed* testbed_;
  std::vector<std::unique_ptr<UsbBoard>> boards_;
  std::vector<UsbBoard*> plugged_;
  usb::UsbEngraver usb_{usb::UsbOptions{kTestTimeout}};
  korimo::testing::ScriptedPump pump_;
  cli::ScriptedPacer pacer_;
  modKT90 kt90_{usb_, usb_, pump_};
  std::ostringstream out_;
  std::ostringstream err_;
};

UsbTestbed* UsbEngraverTest::testbed_ = nullptr;

TEST_F(UsbEngraverTest, SetAndReadThroughKorimoCliWithOneClaimForAll) {
  UsbBoard& board = PlugBoard(NewPlace());
  const std::vector<std::string> set = {
      "set",   "--model",  "none",  "--serial",  "12",   "--max-x",
      "20000", "--max-y",  "11000", "--max-z",   "4000", "--raster",
      "40000", "--vector", "9000",  "--z-speed", "7000", "--no-history"};
  ASSERT_EQ(RunCli(set), cli::kExitOk) << err_.str();

  // The 79 writes, byte for byte and in order, as through the simulated device files.
  const std::vector<Bytes> written = board.Packets();
  EXPECT_EQ(written.size(), kSetWriteCount);
  EXPECT_EQ(written, PacketsThroughSimulatedFiles(set));
  // One open and claim for the whole run; every transaction only submits and reaps.
  EXPECT_EQ(board.IoctlCount(USBDEVFS_CLAIMINTERFACE), 1u);
  EXPECT_EQ(board.IoctlCount(USBDEVFS_SUBMITURB), 2 * kSetWriteCount);  // a status read per write
  EXPECT_EQ(board.IoctlCount(USBDEVFS_SUBMITURB) + board.IoctlCount(USBDEVFS_REAPURBNDELAY) +
                board.IoctlCount(USBDEVFS_REAPURB) + board.IoctlCount(USBDEVFS_CLAIMINTERFACE) +
                board.IoctlCount(USBDEVFS_GET_CAPABILITIES) + board.IoctlCount(USBDEVFS_GETDRIVER),
            board.TotalIoctls());

  ASSERT_EQ(RunCli({"read"}), cli::kExitOk) << err_.str();
  EXPECT_NE(out_.str().find("Serial number                 00012\n"), std::string::npos);
  EXPECT_NE(out_.str().find("Maximum X travel (0.001 in)   20000\n"), std::string::npos);
  EXPECT_NE(out_.str().find("Z speed (0.001 in/sec)        07000\n"), std::string::npos);
  EXPECT_EQ(board.IoctlCount(USBDEVFS_CLAIMINTERFACE), 1u);
}

TEST_F(UsbEngraverTest, ShortStatusIsAFailedReadAndATimeoutDropsTheHandle) {
  UsbBoard& board = PlugBoard(NewPlace());
  ASSERT_TRUE(kt90_.IsDeviceConnected());
  EXPECT_EQ(kt90_.DevicePath(), board.Place().DevicePath());
  EXPECT_EQ(kt90_.GetSerialNumber(), 4660);

  // 32 bytes are no status packet: no answer, on every try; the link is kept.
  board.SetFault(UsbFault::kShortStatus, 32);
  EXPECT_EQ(kt90_.GetSerialNumber(), std::nullopt);
  EXPECT_TRUE(usb_.Holding());

  // No answer: the transfer runs out of time, is cancelled, and the handle goes.
  board.SetFault(UsbFault::kNoReply);
  EXPECT_EQ(kt90_.IsControllerBusy(), BusyState::kNoAnswer);
  EXPECT_EQ(board.IoctlCount(USBDEVFS_DISCARDURB), 1u);
  EXPECT_FALSE(usb_.Holding());
  const std::uint32_t before = board.TotalIoctls();
  EXPECT_EQ(kt90_.GetSerialNumber(), std::nullopt);  // nothing reaches the wire without a handle
  EXPECT_EQ(board.TotalIoctls(), before);

  // The next search opens and claims it again.
  board.SetFault(UsbFault::kNone);
  ASSERT_TRUE(kt90_.IsDeviceConnected());
  EXPECT_EQ(board.IoctlCount(USBDEVFS_CLAIMINTERFACE), 2u);
  EXPECT_EQ(kt90_.GetSerialNumber(), 4660);
}

TEST_F(UsbEngraverTest, AClaimedInterfaceIsNotConnectedAndSaysWhy) {
  UsbBoard& board = PlugBoard(NewPlace());
  board.SetFault(UsbFault::kInterfaceBusy);
  EXPECT_FALSE(kt90_.IsDeviceConnected());
  EXPECT_EQ(kt90_.DeviceTrouble(),
            "The engraver at " + board.Place().Node() +
                " is in use by another program (its interface 0 is claimed); close that program "
                "first.");
  EXPECT_EQ(RunCli({"read"}), cli::kExitNoEngraver);
  EXPECT_EQ(err_.str(), kt90_.DeviceTrouble() + "\n");

  board.SetFault(UsbFault::kNone);
  EXPECT_TRUE(kt90_.IsDeviceConnected());
  EXPECT_EQ(kt90_.DeviceTrouble(), "");
}

TEST_F(UsbEngraverTest, UnplugInTheMiddleOfASetDropsTheRestAndAReplugIsFound) {
  UsbBoard& board = PlugBoard(NewPlace());
  ASSERT_TRUE(kt90_.IsDeviceConnected());
  const SetPlan plan = PlanSet({"00012", {"20000", "11000", "4000", "40000", "9000", "7000"}}, 0);
  ASSERT_EQ(plan.writes.size(), kSetWriteCount);

  board.GoneAtPacket(10);
  for (const SetWrite& write : plan.writes) {
    kt90_.WriteEEPromByte(write.address, write.value);
  }
  EXPECT_EQ(board.Packets().size(), 9u);
  EXPECT_FALSE(usb_.Holding());

  Unplug(board);
  EXPECT_FALSE(kt90_.IsDeviceConnected());
  EXPECT_EQ(kt90_.DeviceTrouble(), "");
  EXPECT_EQ(RunCli({"read"}), cli::kExitNoEngraver);
  EXPECT_EQ(err_.str(), "No engraver found: no USB device 7e21:0065 is connected.\n");

  testbed_->Plug(board);
  plugged_.push_back(&board);
  ASSERT_TRUE(kt90_.IsDeviceConnected());
  EXPECT_EQ(kt90_.GetSerialNumber(), 12);  // the first nine writes did land
}

TEST_F(UsbEngraverTest, OfTwoEngraversTheFirstByBusThenPortIsTaken) {
  UsbBoard& bus3_port2 = PlugBoard(NewPlace(3, "2"));
  UsbBoard& bus3_port4 = PlugBoard(NewPlace(3, "4"));
  UsbBoard& bus1_port5 = PlugBoard(NewPlace(1, "5"));
  {
    auto lock = bus1_port5.Lock();
    bus1_port5.Board().SetCell(6, 1);  // serial number 0x1201
  }
  ASSERT_TRUE(kt90_.IsDeviceConnected());
  EXPECT_EQ(kt90_.DevicePath(), bus1_port5.Place().DevicePath());
  EXPECT_EQ(kt90_.GetSerialNumber(), 0x1201);

  Unplug(bus1_port5);
  ASSERT_TRUE(kt90_.IsDeviceConnected());
  EXPECT_EQ(kt90_.DevicePath(), bus3_port2.Place().DevicePath());
  EXPECT_EQ(kt90_.GetSerialNumber(), 4660);
  EXPECT_EQ(bus3_port4.IoctlCount(USBDEVFS_CLAIMINTERFACE), 0u);
}

// Run as nobody by the usb_tests_unprivileged entry: root opens any node.
TEST_F(UsbEngraverTest, UnprivilegedUserIsToldWhichRuleToInstall) {
  if (::geteuid() == 0) {
    GTEST_SKIP() << "root may open any device node; usb_tests_unprivileged runs this as nobody";
  }
  UsbBoard& board = PlugBoard(NewPlace());
  testbed_->ChangeMode(board, 0444);  // as without the udev rule: readable, not writable
  const std::string sentence =
      "The engraver at " + board.Place().Node() +
      " cannot be opened: no permission; install 60-korimo.rules into /usr/lib/udev/rules.d "
      "(packaging/linux/ in the source), then run \"udevadm control --reload && udevadm "
      "trigger\" as root or plug the engraver in again.";
  EXPECT_FALSE(kt90_.IsDeviceConnected());
  EXPECT_EQ(kt90_.DeviceTrouble(), sentence);
  EXPECT_FALSE(usb_.Holding());

  EXPECT_EQ(RunCli({"read"}), cli::kExitNoEngraver);
  EXPECT_EQ(err_.str(), sentence + "\n");
  EXPECT_EQ(out_.str(), "");
  EXPECT_EQ(board.TotalIoctls(), 0u);
}

// Three engravers: listed by bus and port, chosen by port, and a command that
// writes refuses to guess among them.
TEST_F(UsbEngraverTest, ThreeEngraversAreListedAndOneIsChosenByItsPort) {
  UsbBoard& second = PlugBoard(NewPlace(3, "4"));
  UsbBoard& third = PlugBoard(NewPlace(3, "4.1"));
  UsbBoard& first = PlugBoard(NewPlace(1, "5"));
  ASSERT_EQ(RunCli({"list"}), cli::kExitOk) << err_.str();
  EXPECT_EQ(out_.str(),
            "1  " + first.Place().DevicePath() + "  serial 04660, model 1 (Korimo KX2)\n2  " +
                second.Place().DevicePath() + "  serial 04660, model 1 (Korimo KX2)\n3  " +
                third.Place().DevicePath() + "  serial 04660, model 1 (Korimo KX2)\n");

  EXPECT_EQ(RunCli({"eeprom", "write", "33", "7"}), cli::kExitSeveral);
  EXPECT_EQ(first.Packets().size() + second.Packets().size() + third.Packets().size(), 0u);
  ASSERT_EQ(RunCli({"eeprom", "write", "33", "7", "--device", "usb:3-4.1", "--no-history"}),
            cli::kExitOk)
      << err_.str();
  const auto packet = MemoryWritePacket(33, 7);
  EXPECT_EQ(third.Packets(), std::vector<Bytes>{Bytes(packet.begin(), packet.end())});
  EXPECT_EQ(second.Packets().size(), 0u);
}

// A production run on the bus: arrival, an engraver unplugged in the middle of
// its Set, the same engraver plugged in again.
TEST_F(UsbEngraverTest, ProvisionAcrossArrivalUnplugAndReplug) {
  const std::filesystem::path log = std::filesystem::temp_directory_path() /
                                    ("korimo-usb-provision-" + std::to_string(::getpid()) + ".csv");
  std::filesystem::remove(log);
  // Kept by the fixture: the back end may still hold one when the test ends.
  UsbBoard* a = boards_.emplace_back(std::make_unique<UsbBoard>(NewPlace(3, "2"))).get();
  UsbBoard* b = boards_.emplace_back(std::make_unique<UsbBoard>(NewPlace(3, "3"))).get();
  pacer_.steps = {
      [&] { testbed_->Plug(*a); },
      [&] { testbed_->Unplug(*a); },
      [&] {
        b->GoneAtPacket(30);
        testbed_->Plug(*b);
      },
      [&] { testbed_->Unplug(*b); },
      [&] {
        b->SetFault(UsbFault::kNone);
        testbed_->Plug(*b);
      },
      [&] { testbed_->Unplug(*b); },
  };
  EXPECT_EQ(RunCli({"provision", "--model", "KX2", "--serials", "500-599", "--log", log.string()}),
            cli::kExitSomeFailed);
  EXPECT_EQ(err_.str(), "The engraver at " + b->Place().DevicePath() +
                            " was lost during the Set; serial number 00501 is recorded as failed "
                            "and never issued again.\n");
  EXPECT_NE(out_.str().find("2 done, 1 failed, 0 left as they were; serial numbers used: 00500 "
                            "to 00502."),
            std::string::npos)
      << out_.str();
  std::ifstream file(log);
  const std::string text((std::istreambuf_iterator<char>(file)), {});
  EXPECT_NE(text.find(b->Place().DevicePath() + ",00501,KX2,failed,78\n"), std::string::npos);
  EXPECT_NE(text.find(b->Place().DevicePath() + ",00502,KX2,stored,0\n"), std::string::npos);
  for (UsbBoard* board : {a, b}) {
    auto lock = board->Lock();
    EXPECT_EQ(board->Board().Cell(7), 1);
  }
  std::filesystem::remove(log);
}

// Run as nobody by the usb_tests_unprivileged entry.
TEST_F(UsbEngraverTest, UnprivilegedListSaysWhichEngraverCannotBeOpened) {
  if (::geteuid() == 0) {
    GTEST_SKIP() << "root may open any device node; usb_tests_unprivileged runs this as nobody";
  }
  PlugBoard(NewPlace(2, "1"));
  UsbBoard& locked = PlugBoard(NewPlace(2, "2"));
  testbed_->ChangeMode(locked, 0444);
  ASSERT_EQ(RunCli({"list"}), cli::kExitOk) << err_.str();
  EXPECT_NE(out_.str().find("\n2  " + locked.Place().DevicePath() + "  The engraver at " +
                            locked.Place().Node() + " cannot be opened: no permission;"),
            std::string::npos)
      << out_.str();
  EXPECT_NE(out_.str().find("1  usb:2-1 ("), std::string::npos);
}

// Each trouble of an engraver that is present but cannot be reached, as list names it.
TEST_F(UsbEngraverTest, ListNamesEachTroubleOfAnEngraverItCannotReach) {
  const std::tuple<UsbFault, DeviceTrouble, std::string> cases[] = {
      {UsbFault::kInterfaceBusy, DeviceTrouble::kHeldByProcess, ""},
      {UsbFault::kKernelDriver, DeviceTrouble::kKernelDriver, "(unknown)"},
      {UsbFault::kGone, DeviceTrouble::kVanished, ""},
  };
  for (const auto& [fault, trouble, detail] : cases) {
    UsbBoard& board = PlugBoard(NewPlace());
    board.SetFault(fault);
    ASSERT_EQ(RunCli({"list"}), cli::kExitOk) << err_.str();
    EXPECT_EQ(out_.str(), "1  " + board.Place().DevicePath() + "  " +
                              TroubleSentence(trouble, board.Place().Node(), detail) + "\n");
    Unplug(board);
  }
}

// Who holds a node open, named with the link /proc shows it under; this process left out.
TEST(UsbDiagnosisTest, NamesTheProcessesHoldingANodeOpen) {
  char node[] = "/tmp/korimo-held-XXXXXX";
  const int fd = ::mkstemp(node);
  ASSERT_GE(fd, 0);
  const std::string pid = std::to_string(::getpid());
  EXPECT_EQ(usb::ProcessesHolding(node, -1),
            "process " + pid + " (usb_tests, /proc/" + pid + "/fd/" + std::to_string(fd) + ")");
  EXPECT_EQ(usb::ProcessesHolding(node, ::getpid()), "");
  ::close(fd);
  ::unlink(node);
}

}  // namespace
}  // namespace korimo::usbtest
