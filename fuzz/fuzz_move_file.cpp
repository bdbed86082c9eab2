// Takes arbitrary bytes as a movement file and walks it against a board that
// is always present and idle. Whatever the file holds, the channel must receive
// exactly its longest prefix of whole records, and at most one message shows.
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "device/SEnumValue.h"
#include "device/modKT90.h"
#include "device/ports.h"
#include "device/registry_finder.h"
#include "motion/move_file.h"

namespace {

using namespace korimo;

void Check(bool condition, const char* what) {
  if (!condition) {
    std::fprintf(stderr, "invariant broken: %s\n", what);
    std::abort();
  }
}

// One engraver interface under one device class, active.
class OneEngraver final : public DeviceCatalogue {
 public:
  std::optional<KeyHandle> OpenKey(std::string_view path, std::uint32_t) override {
    open_[++last_] = std::string(path);
    return last_;
  }
  std::optional<std::string> EnumKey(KeyHandle key, std::uint32_t index) override {
    const std::string& path = open_.at(key);
    if (index != 0) {
      return std::nullopt;
    }
    if (path == kDeviceClassesKey) {
      return std::string(kClass);
    }
    if (path == std::string(kDeviceClassesKey) + "\\" + std::string(kClass)) {
      return "##?#USB#Vid_7e21&Pid_0065#0001#" + std::string(kClass);
    }
    return std::nullopt;
  }
  std::optional<std::vector<std::uint8_t>> QueryValue(KeyHandle, std::string_view name) override {
    if (name == kLinkedValue) {
      return std::vector<std::uint8_t>{1, 0, 0, 0};
    }
    const std::string_view link = "\\\\?\\usb#vid_7e21&pid_0065#fuzz";
    return std::vector<std::uint8_t>(link.begin(), link.end());
  }
  void CloseKey(KeyHandle key) override { open_.erase(key); }

 private:
  static constexpr std::string_view kClass = "{a5dcbf10-6530-11d2-901f-00c04fb951ed}";
  std::map<KeyHandle, std::string> open_;
  KeyHandle last_ = 0;
};

// A board that answers every status read with an all-zero (idle) packet and
// keeps every byte written to it.
class IdleBoard final : public DeviceFiles {
 public:
  std::optional<FileHandle> Open(const std::string&, const OpenParameters& params) override {
    writing_[++last_] = params == kWriteOpen;
    return last_;
  }
  std::optional<std::size_t> Read(FileHandle, std::span<std::uint8_t> buffer) override {
    ++status_reads;
    std::fill(buffer.begin(), buffer.end(), std::uint8_t{0});
    return buffer.size();
  }
  bool Write(FileHandle file, std::span<const std::uint8_t> bytes) override {
    Check(writing_.at(file), "writes go through a handle opened for writing");
    received.insert(received.end(), bytes.begin(), bytes.end());
    return true;
  }
  bool Flush(FileHandle) override { return true; }
  void Close(FileHandle file) override { writing_.erase(file); }

  std::vector<std::uint8_t> received;
  int status_reads = 0;

 private:
  std::map<FileHandle, bool> writing_;
  FileHandle last_ = 0;
};

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
    Check(::ftruncate(fd_, 0) == 0, "the movement file can be emptied");
    std::size_t done = 0;
    while (done < size) {
      const ::ssize_t wrote = ::pwrite(fd_, data + done, size - done, static_cast<off_t>(done));
      Check(wrote > 0, "the movement file can be written");
      done += static_cast<std::size_t>(wrote);
    }
  }

 private:
  int fd_;
  std::string path_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static MemoryFile move_file;
  move_file.Fill(data, size);

  OneEngraver catalogue;
  IdleBoard board;
  CountingPump pump;
  CountingPrompts prompts;
  RegistryFinder finder(catalogue);
  modKT90 kt90(finder, board, pump);
  Check(kt90.IsDeviceConnected(), "the engraver is found");

  const MoveFileResult result = PlayMoveFile(move_file.path(), kt90, prompts);

  const WholeRecords whole = CountWholeRecords(data, size);
  const bool damaged = whole.bytes != size;
  Check(board.received.size() == whole.bytes &&
            std::equal(board.received.begin(), board.received.end(), data),
        "the channel receives exactly the whole records at the file's start");
  Check(prompts.shown <= 1, "at most one message per walk");
  Check(pump.turns == 0, "an idle board makes the walk wait for nothing");
  // One busy query before each record, the cut-off one included.
  Check(board.status_reads == whole.count + (damaged ? 1 : 0), "one status read per record");
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
