// Takes arbitrary bytes as a movement file and walks it against a simulated
// board that is always present and idle. Whatever the file holds, the channel must receive
// exactly its longest prefix of whole records, and at most one message shows.
#include <sys/mman.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "device/modKT90.h"
#include "device/ports.h"
#include "device/registry_finder.h"
#include "fuzz/check.h"
#include "motion/move_file.h"
#include "sim/platform.h"

namespace {

using namespace korimo;
using fuzz::Check;

class CountingPump final : public EventPump {
 public:
  void DoEvents() override { ++turns; }
  int turns = 0;
};

class CountingPrompts final : public Prompts {
 public:
  MessageAnswer ShowMessage(const std::string& text, const std::string&, MessageButtons,
                            MessageAnswer) override {
    ++shown;
    last = text;
    return MessageAnswer::kOk;
  }
  std::optional<std::string> AskText(const std::string&, const std::string&) override {
    return std::nullopt;
  }
  int shown = 0;
  std::string last;
};

struct WholeRecords {
  std::size_t bytes = 0;  // the longest prefix made only of whole records
  int count = 0;
};

WholeRecords CountWholeRecords(const std::uint8_t* data, std::size_t size) {
  WholeRecords whole;
  while (size - whole.bytes >= 2) {
    const std::size_t length = 2u + data[whole.bytes] * 256u + data[whole.bytes + 1];
    if (size - whole.bytes < length) {
      break;
    }
    whole.bytes += length;
    ++whole.count;
  }
  return whole;
}

// The movement file lives in memory (a memfd), reached by path through /proc,
// so that each input costs no disk work and leaves no file behind.
class MemoryFile {
 public:
  MemoryFile() : fd_(::memfd_create("korimo-fuzz.mov", 0)) {
    Check(fd_ >= 0, "an in-memory file can be made");
    path_ = "/proc/self/fd/" + std::to_string(fd_);
  }
  const std::string& path() const { return path_; }

  void Fill(const std::uint8_t* data, std::size_t size) {
    std::ofstream file(path_, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    Check(file.good(), "the movement file can be written");
  }

 private:
  int fd_;
  std::string path_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static MemoryFile move_file;
  move_file.Fill(data, size);

  // One engraver, alone in its device class, that is never busy; its device
  // file keeps what it was sent.
  sim::ManualClock clock;
  sim::SimPlatform platform(
      clock, {.catalogue = {.classes = 1, .min_instances = 0, .max_instances = 0},
              .timings = {
                  .memory_write = sim::Micros{0}, .memory_read = sim::Micros{0}, .axis_speed = 0}});
  sim::SimDeviceFiles& board = platform.GetFiles();
  board.EnableLog(std::size_t{1} << 20);
  CountingPump pump;
  CountingPrompts prompts;
  RegistryFinder finder(platform.GetCatalogue());
  modKT90 kt90(finder, board, pump);
  Check(kt90.IsDeviceConnected(), "the engraver is found");

  const MoveFileResult result = PlayMoveFile(move_file.path(), kt90, prompts);

  std::vector<std::uint8_t> received;
  for (const sim::FileLogEntry& entry : board.Log()) {
    if (entry.kind == sim::FileEvent::kWrite) {
      received.insert(received.end(), entry.bytes.begin(), entry.bytes.end());
    }
  }
  const WholeRecords whole = CountWholeRecords(data, size);
  const bool damaged = whole.bytes != size;
  Check(received.size() == whole.bytes && std::equal(received.begin(), received.end(), data),
        "the channel receives exactly the whole records at the file's start");
  Check(prompts.shown <= 1, "at most one message per walk");
  Check(pump.turns == 0, "an idle board makes the walk wait for nothing");
  // One busy query before each record, the cut-off one included.
  Check(board.Counts().reads == static_cast<std::uint32_t>(whole.count + (damaged ? 1 : 0)),
        "one status read per record");
  if (!damaged) {
    Check(result == MoveFileResult::kWalked && prompts.shown == 0,
          "a file of whole records is walked silently");
  } else {
    Check(result == MoveFileResult::kDamaged && prompts.shown == 1 &&
              prompts.last == kMoveFileDamaged,
          "a file that ends inside a record is reported as damaged");
  }
  return 0;
}
