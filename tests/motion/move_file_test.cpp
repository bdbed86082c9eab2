#include "motion/move_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "device/registry_finder.h"
#include "support/fake_ports.h"
#include "support/recording_prompts.h"

#ifdef _WIN32
#include "win32/windows_api.h"
#endif

namespace korimo {
namespace {

namespace fs = std::filesystem;
using testing::Bytes;
using testing::BytesOf;
using testing::DwordBytes;
using testing::FakeCatalogue;
using testing::FakeFiles;
using testing::RecordingPrompts;
using testing::ScriptedPump;
using testing::StatusWith;
using Kind = FakeFiles::Kind;

Bytes Record(std::size_t n, std::uint8_t fill) {
  Bytes record{static_cast<std::uint8_t>(n >> 8), static_cast<std::uint8_t>(n & 0xFF)};
  record.insert(record.end(), n, fill);
  return record;
}

Bytes Join(std::initializer_list<Bytes> parts) {
  Bytes all;
  for (const Bytes& part : parts) {
    all.insert(all.end(), part.begin(), part.end());
  }
  return all;
}

class MoveFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = fs::temp_directory_path() /
          ("korimo-move-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
           "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(dir);
    const std::string instance =
        std::string(kDeviceClassesKey) + "\\{usb}\\##?#USB#Vid_7e21&Pid_0065#1#{usb}";
    registry.SetValue(instance + "\\#\\Control", "Linked", DwordBytes(1));
    registry.SetValue(instance + "\\#", "SymbolicLink", BytesOf(files.device_path));
    kt.IsDeviceConnected();
  }
  void TearDown() override { fs::remove_all(dir); }

  std::string Write(const std::string& name, const Bytes& bytes) {
    const fs::path path = dir / name;
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<long>(bytes.size()));
    return path.string();
  }

  MoveFileResult Play(const std::string& path) { return PlayMoveFile(path, kt, prompts); }

  fs::path dir;
  FakeCatalogue registry;
  FakeFiles files;
  ScriptedPump pump;
  RecordingPrompts prompts;
  RegistryFinder finder{registry};
  modKT90 kt{finder, files, pump};
};

TEST_F(MoveFileTest, RecordsAreSentWholeInFileOrderEachAfterAnIdleReport) {
  const Bytes first = Record(4, 0xA1);
  const Bytes second = Record(32, 0xB2);
  EXPECT_EQ(Play(Write("JOGPOSX.mov", Join({first, second}))), MoveFileResult::kWalked);

  EXPECT_EQ(files.Written(), (std::vector<Bytes>{first, second}));
  std::vector<Kind> reads_and_writes;
  for (const auto& call : files.calls) {
    if (call.kind == Kind::kRead || call.kind == Kind::kWrite) {
      reads_and_writes.push_back(call.kind);
    }
  }
  EXPECT_EQ(reads_and_writes, (std::vector{Kind::kRead, Kind::kWrite, Kind::kRead, Kind::kWrite}));
  EXPECT_EQ(pump.turns, 0) << "an idle controller at the first question runs no events";
  EXPECT_TRUE(prompts.calls.empty());
}

TEST_F(MoveFileTest, RecordLengthsFromTheirOwnLengthBytes) {
  Play(Write("a.mov", Join({Record(0, 0), Record(300, 0x77)})));
  const std::vector<Bytes> sent = files.Written();
  ASSERT_EQ(sent.size(), 2u);
  EXPECT_EQ(sent[0], (Bytes{0x00, 0x00}));
  ASSERT_EQ(sent[1].size(), 302u);
  EXPECT_EQ(sent[1][0], 0x01);
  EXPECT_EQ(sent[1][1], 0x2C);
}

TEST_F(MoveFileTest, LargestRecordIsTakenWhole) {
  Play(Write("big.mov", Record(65535, 0x3C)));
  const std::vector<Bytes> sent = files.Written();
  ASSERT_EQ(sent.size(), 66u);  // 65537 bytes go out in 66 chunks
  EXPECT_EQ(sent.back().size(), 537u);
}

TEST_F(MoveFileTest, MissingFileIsReportedOnceAndQueriesNothing) {
  EXPECT_EQ(Play((dir / "JOGNEGZ.mov").string()), MoveFileResult::kMissing);
  ASSERT_EQ(prompts.calls.size(), 1u);
  EXPECT_EQ(prompts.calls[0].text, "Movement File is missing");
  EXPECT_EQ(prompts.calls[0].title, "");
  EXPECT_EQ(prompts.calls[0].buttons, MessageButtons::kOk);
  EXPECT_TRUE(files.calls.empty());
}

// Only a normal file counts: not a directory, and on Windows not a file marked
// hidden or system (a read-only one does count). Linux has no such marks.
TEST_F(MoveFileTest, OnlyANormalFileCountsAsAMovementFile) {
  struct Entry {
    const char* name;
    bool directory;
    unsigned long attributes;  // Windows file attributes set on the file; 0: none
    bool counts;
  };
  const std::vector<Entry> entries{
      {"CRLPOSY.mov", true, 0, false},
      {"JOGPOSY.mov", false, 0, true},
#ifdef _WIN32
      {"JOGNEGY.mov", false, FILE_ATTRIBUTE_READONLY, true},
      {"JOGPOSZ.mov", false, FILE_ATTRIBUTE_HIDDEN, false},
      {"JOGNEGZ.mov", false, FILE_ATTRIBUTE_SYSTEM, false},
      {"CRLNEGZ.mov", false, FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY, false},
#else
      {".JOGNEGY.mov", false, 0, true},
#endif
  };
  for (const Entry& entry : entries) {
    SCOPED_TRACE(entry.name);
    files.calls.clear();
    prompts.calls.clear();
    const fs::path path = dir / entry.name;
    if (entry.directory) {
      fs::create_directory(path);
    } else {
      Write(entry.name, Record(4, 1));
    }
#ifdef _WIN32
    if (entry.attributes != 0) {
      ASSERT_TRUE(SetFileAttributesA(path.string().c_str(), entry.attributes));
      ASSERT_EQ(GetFileAttributesA(path.string().c_str()) & entry.attributes, entry.attributes)
          << "the file system keeps no attributes";
    }
#endif
    EXPECT_EQ(Play(path.string()),
              entry.counts ? MoveFileResult::kWalked : MoveFileResult::kMissing);
    EXPECT_EQ(files.Written().size(), entry.counts ? 1u : 0u);
    EXPECT_EQ(prompts.calls.size(), entry.counts ? 0u : 1u);
#ifdef _WIN32
    SetFileAttributesA(path.string().c_str(), FILE_ATTRIBUTE_NORMAL);  // removable again
#endif
  }
}

TEST_F(MoveFileTest, EmptyFileQueriesNothing) {
  EXPECT_EQ(Play(Write("empty.mov", {})), MoveFileResult::kWalked);
  EXPECT_TRUE(files.calls.empty());
  EXPECT_TRUE(prompts.calls.empty());
}

TEST_F(MoveFileTest, BusyControllerHoldsTheNextRecordWithEventsRunning) {
  // Idle for the first record, then busy for three reads, then idle.
  int reads = 0;
  files.status = [&] {
    ++reads;
    return StatusWith(reads >= 2 && reads <= 4 ? 0x80 : 0x00);
  };
  std::size_t written_when_events_ran = 0;
  pump.action = [&](int) { written_when_events_ran = files.Written().size(); };
  Play(Write("b.mov", Join({Record(4, 1), Record(4, 2)})));
  EXPECT_EQ(files.Written().size(), 2u);
  EXPECT_EQ(pump.turns, 3);
  EXPECT_EQ(written_when_events_ran, 1u) << "the second record waits for the idle report";
  EXPECT_EQ(reads, 5);
}

// A file that stops inside a record: the whole records before it are sent,
// nothing of the broken one, and one message says so.
class DamagedMoveFile : public MoveFileTest, public ::testing::WithParamInterface<std::size_t> {};

TEST_P(DamagedMoveFile, TakesNoPartialRecord) {
  const Bytes good = Record(4, 9);
  Bytes broken = Record(32, 7);
  broken.resize(GetParam());
  EXPECT_EQ(Play(Write("d.mov", Join({good, broken}))), MoveFileResult::kDamaged);
  EXPECT_EQ(files.Written(), std::vector<Bytes>{good});
  ASSERT_EQ(prompts.calls.size(), 1u);
  EXPECT_EQ(prompts.calls[0].text, "Movement File is damaged");
}

INSTANTIATE_TEST_SUITE_P(CutAfter, DamagedMoveFile, ::testing::Values(1u, 2u, 3u, 33u));

#ifdef __linux__
TEST_F(MoveFileTest, UnreadableFileIsReportedAndTheToolGoesOn) {
  // A regular file whose every read fails.
  EXPECT_EQ(Play("/proc/self/mem"), MoveFileResult::kUnreadable);
  ASSERT_EQ(prompts.calls.size(), 1u);
  EXPECT_EQ(prompts.calls[0].text, "Movement File cannot be read");
  EXPECT_TRUE(files.Written().empty());
}
#endif

}  // namespace
}  // namespace korimo
