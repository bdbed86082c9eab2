// provision: a production run. Each engraver that arrives is Set to the model
// with the next serial number, every written cell is read back, one line goes
// to the log, and the run waits until the engraver is unplugged.
#include <algorithm>
#include <chrono>
#include <filesystem>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "cli/entries.h"
#include "cli/history.h"
#include "cli/safe_files.h"
#include "cli/workshop.h"
#include "config/plan_runner.h"
#include "config/presets.h"
#include "config/set_plan.h"

namespace korimo::cli {
namespace {

// As the window's supervision looks: four times a second.
constexpr std::chrono::milliseconds kLookEvery{250};

struct Range {
  std::uint16_t first = 0;
  std::uint16_t last = 0;
};

std::optional<std::uint16_t> SerialOf(std::string_view text) {
  if (text.empty() || text.size() > 5 ||
      !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; })) {
    return std::nullopt;
  }
  const unsigned long value = std::stoul(std::string(text));
  return value <= 65535 ? std::optional(static_cast<std::uint16_t>(value)) : std::nullopt;
}

// "FIRST" (up to 65535) or "FIRST-LAST".
std::optional<Range> RangeOf(std::string_view text) {
  const std::size_t dash = text.find('-');
  const std::optional<std::uint16_t> first = SerialOf(text.substr(0, dash));
  const std::optional<std::uint16_t> last = dash == std::string_view::npos
                                                ? std::optional<std::uint16_t>(65535)
                                                : SerialOf(text.substr(dash + 1));
  if (!first || !last || *first > *last) {
    return std::nullopt;
  }
  return Range{*first, *last};
}

// The log's text, or nothing once the user has been told why it cannot be read.
std::optional<ProvisionLog> ReadLog(Session& session, const std::string& path) {
  // Read again before every board, as far as the file reached a moment ago: a
  // line that another station appends meanwhile is left for the next board.
  // One byte more than a log may have, so that a larger file is known as one.
  const FileText file = ReadFileText(path, kLargestLog + 1);
  if (file.trouble.error == std::errc::no_such_file_or_directory) {
    return ProvisionLog{};
  }
  if (file.trouble) {
    session.Err() << "The log " << EchoPath(path) << " cannot be read. " << Sentence(file.trouble)
                  << '\n';
    return std::nullopt;
  }
  const std::string& text = file.text;
  ProvisionLog log = ParseLog(text);
  if (!log.error.empty()) {
    session.Err() << "The log " << EchoPath(path) << " is refused: " << log.error << '\n';
    return std::nullopt;
  }
  return log;
}

class Run {
 public:
  Run(Session& session, Engravers& engravers, const ModelPreset& preset, Range range,
      std::string log_path)
      : session_(session),
        engravers_(engravers),
        preset_(preset),
        range_(range),
        log_path_(std::move(log_path)),
        pacer_(session.GetPacer()) {}

  int Go(std::optional<std::size_t> count, std::uint16_t next);

 private:
  enum class Ending { kCount, kUsedUp, kStopped, kLogLost };

  // The first engraver that can be used, once one is there; nothing once the
  // user asked to stop.
  std::optional<std::string> WaitForArrival();
  // False once the user asked to stop.
  bool WaitUntilGone(const std::string& path);
  void Progress(const std::string& text);
  void EndProgress();
  // Sets, verifies and logs one board; false when the log could not be written.
  bool Provision(modKT90& kt90, const std::string& path);
  // The engraver that can be used (the one of --device, or the first); says
  // once why another one cannot.
  std::optional<std::string> Found(const std::vector<FoundEngraver>& found);

  Session& session_;
  Engravers& engravers_;
  const ModelPreset& preset_;
  Range range_;
  std::string log_path_;
  Pacer& pacer_;
  std::uint32_t next_ = 0;  // may pass 65535: the range is then used up
  std::size_t done_ = 0;
  std::size_t failed_ = 0;
  std::size_t left_ = 0;  // boards that already carried a serial number
  std::optional<std::uint16_t> first_used_;
  std::optional<std::uint16_t> last_used_;
  std::vector<std::string> told_;    // troubles already said
  std::size_t progress_length_ = 0;  // of the longest progress line shown, 0 when none is
};

void Run::Progress(const std::string& text) {
  if (session_.ErrIsTerminal()) {
    session_.Err() << '\r' << text << std::flush;
    progress_length_ = std::max(progress_length_, text.size());
  }
}

void Run::EndProgress() {
  if (progress_length_ > 0) {
    session_.Err() << '\r' << std::string(progress_length_, ' ') << '\r' << std::flush;
    progress_length_ = 0;
  }
}

std::optional<std::string> Run::Found(const std::vector<FoundEngraver>& found) {
  const std::optional<std::string> device = session_.Line().Value("--device");
  const std::optional<std::size_t> chosen =
      device ? ResolveDevice(*device, found) : std::optional<std::size_t>();
  for (std::size_t i = 0; i < found.size(); ++i) {
    if (device && chosen != i) {
      continue;
    }
    if (engravers_.Usable(found[i])) {
      return found[i].path;
    }
    const std::string trouble =
        !found[i].trouble.empty()
            ? found[i].trouble
            : "The engraver at " + found[i].path +
                  " cannot be opened: another program has it open, or it was just unplugged.";
    if (std::find(told_.begin(), told_.end(), trouble) == told_.end()) {
      EndProgress();
      session_.Err() << trouble << '\n';
      told_.push_back(trouble);
    }
  }
  return std::nullopt;
}

std::optional<std::string> Run::WaitForArrival() {
  for (std::size_t looks = 0;; ++looks) {
    if (pacer_.StopAsked()) {
      return std::nullopt;
    }
    if (std::optional<std::string> path = Found(engravers_.List())) {
      return path;
    }
    Progress("Waiting for an engraver to be plugged in (serial number " + FiveDigits(next_) +
             " is next)" + std::string(looks % 4, '.') + "   ");
    pacer_.Pause(kLookEvery);
  }
}

bool Run::WaitUntilGone(const std::string& path) {
  for (;;) {
    const std::vector<FoundEngraver> found = engravers_.List();
    if (std::none_of(found.begin(), found.end(),
                     [&](const FoundEngraver& engraver) { return engraver.path == path; })) {
      told_.clear();
      return true;
    }
    if (pacer_.StopAsked()) {
      return false;
    }
    Progress("Unplug the engraver at " + path + ".   ");
    pacer_.Pause(kLookEvery);
  }
}

bool Run::Provision(modKT90& kt90, const std::string& path) {
  std::ostream& err = session_.Err();
  const auto serial = static_cast<std::uint16_t>(next_);
  const SetPlan plan = PlanSet(PresetFieldTexts(preset_, std::to_string(serial)), preset_.code);
  const std::vector<CellValue> wanted = WrittenCells(plan);
  // New boards: a copy would double each one's time, so only when asked for.
  if (session_.Line().Has("--history") &&
      KeepHistory(session_, kt90, "provision", wanted) != kExitOk) {
    ++left_;
    EndProgress();
    err << "The engraver at " << path << " is left as it is; unplug it.\n";
    return true;
  }

  const bool lost =
      WriteCells(kt90, PlanCells(plan), RunStop::kAtFirstMiss).reached != plan.writes.size();
  const bool stayed_busy = kt90.WaitGaveUp();
  kt90.ClearWaitGaveUp();
  auto differing = static_cast<std::uint32_t>(wanted.size());
  std::size_t unread = 0;  // of those, the cells that did not answer
  if (!lost) {
    const ReadBack back = ReadBackCells(kt90, wanted, RunStop::kNever);
    differing = static_cast<std::uint32_t>(back.differ.size() + back.unanswered.size());
    unread = back.unanswered.size();
  }
  const bool stored = !lost && differing == 0 && !kt90.WaitGaveUp();
  kt90.ClearWaitGaveUp();

  const LogLine line{pacer_.UtcNow(), path,     serial, std::string(preset_.name).substr(7),
                     stored,          differing};
  std::string text = FormatLogLine(line);
  std::error_code error;
  if (!std::filesystem::exists(log_path_, error) ||
      std::filesystem::file_size(log_path_, error) == 0) {
    text = std::string(kLogHeader) + '\n' + text;
  }
  EndProgress();
  if (AppendToFile(log_path_, text)) {
    err << "The log " << EchoPath(log_path_)
        << " cannot be written, so the run stops: serial number " << FiveDigits(serial)
        << (stored ? " is stored on " : " was tried on ") << path << " and is not in the log.\n";
    return false;
  }
  if (stored) {
    ++done_;
    first_used_ = first_used_.value_or(serial);
    last_used_ = serial;
    ++next_;
    session_.Out() << "Stored serial number " << FiveDigits(serial) << " (" << preset_.name
                   << ") on " << path << " and verified its " << wanted.size()
                   << " cells; unplug it.\n";
  } else {
    ++failed_;
    const std::string why = lost          ? "was lost during the Set"
                            : stayed_busy ? "stayed busy during the Set"
                            : unread > 0
                                ? "failed verification (" + std::to_string(differing) + " of " +
                                      std::to_string(wanted.size()) +
                                      " cells differ or could not be read back)"
                                : "failed verification (" + std::to_string(differing) + " of " +
                                      std::to_string(wanted.size()) + " cells differ)";
    err << "The engraver at " << path << " " << why << "; serial number " << FiveDigits(serial)
        << " is logged as not stored and goes to the next board.\n";
  }
  return true;
}

int Run::Go(std::optional<std::size_t> count, std::uint16_t next) {
  next_ = next;
  Ending ending = Ending::kStopped;
  for (;;) {
    if (count && done_ >= *count) {
      ending = Ending::kCount;
      break;
    }
    if (next_ > range_.last) {
      ending = Ending::kUsedUp;
      break;
    }
    const std::optional<std::string> path = WaitForArrival();
    if (!path) {
      break;
    }
    const std::unique_ptr<modKT90> kt90 = engravers_.LinkTo(*path);
    if (kt90->IsDeviceConnected()) {
      const std::optional<std::int32_t> carried = kt90->GetSerialNumber();
      const std::optional<ProvisionLog> log = ReadLog(session_, log_path_);
      if (!log) {
        ending = Ending::kLogLost;
        break;
      }
      // Another station may share the log: a serial number it stored is never written again.
      while (next_ <= range_.last) {
        const std::optional<std::size_t> at = log->StoredAt(static_cast<std::uint16_t>(next_));
        if (!at) {
          break;
        }
        session_.Err() << "Serial number " << FiveDigits(next_) << " is already stored (line "
                       << *at << " of the log); it is not written again.\n";
        ++next_;
      }
      if (next_ > range_.last) {
        ending = Ending::kUsedUp;
        break;
      }
      const bool no_serial_yet = carried && (IsPlaceholderSerial(*carried) ||
                                             log->OnlyFailed(static_cast<std::uint16_t>(*carried)));
      if (!carried) {
        // Whether it carries a serial number of its own is not known: nothing is written.
        ++left_;
        EndProgress();
        session_.Err() << "The engraver at " << *path
                       << " did not answer when its serial number was read; it is left as it is. "
                          "Unplug it and plug it in again.\n";
      } else if (!no_serial_yet && !session_.Line().Has("--overwrite-serial")) {
        ++left_;
        EndProgress();
        session_.Err() << "The engraver at " << *path << " already carries serial number "
                       << FiveDigits(*carried)
                       << "; it is left as it is (give --overwrite-serial to replace it). Unplug "
                          "it.\n";
      } else if (!Provision(*kt90, *path)) {
        ending = Ending::kLogLost;
        break;
      }
    }
    const bool stop = pacer_.StopAsked();
    if (stop || !WaitUntilGone(*path)) {
      break;
    }
  }
  EndProgress();
  std::ostream& out = session_.Out();
  out << "Provision ended";
  switch (ending) {
    case Ending::kCount:
      out << " (" << done_ << " boards done, as --count asked)";
      break;
    case Ending::kUsedUp:
      out << " (the serial numbers " << FiveDigits(range_.first) << "-" << FiveDigits(range_.last)
          << " are used up)";
      break;
    case Ending::kStopped:
      out << " (stopped by Ctrl+C)";
      break;
    case Ending::kLogLost:
      out << " (the log could not be used)";
      break;
  }
  out << ": " << done_ << " done, " << failed_ << " failed, " << left_
      << " left as they were; serial numbers used: ";
  if (first_used_) {
    out << FiveDigits(*first_used_) << (done_ > 1 ? " to " + FiveDigits(*last_used_) : "");
  } else {
    out << "none";
  }
  out << ".\n";
  if (ending == Ending::kLogLost) {
    return kExitRefused;
  }
  if (failed_ > 0) {
    return kExitSomeFailed;
  }
  return ending == Ending::kStopped ? kExitInterrupted : kExitOk;
}

}  // namespace

int RunProvision(Session& session, std::span<const std::string>) {
  const CommandLine& line = session.Line();
  std::ostream& err = session.Err();
  const std::optional<std::string> model = line.Value("--model");
  const std::optional<std::string> serials = line.Value("--serials");
  const std::optional<std::string> log_path = line.Value("--log");
  if (!model || !serials || !log_path) {
    err << "provision needs --model KX2 or KX3, --serials FIRST[-LAST] and --log FILE.\n";
    return kExitUsage;
  }
  std::string upper = *model;
  std::transform(upper.begin(), upper.end(), upper.begin(),
                 [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c; });
  const ModelPreset* preset = FindPreset("Korimo " + upper);
  if (preset == nullptr) {
    err << "--model must be KX2 or KX3 for provision (" << Echo(*model) << " given).\n";
    return kExitUsage;
  }
  const std::optional<Range> range = RangeOf(*serials);
  if (!range) {
    err << "--serials needs FIRST or FIRST-LAST, whole numbers of 0 to 65535 with FIRST not "
           "above LAST ("
        << Echo(*serials) << " given).\n";
    return kExitUsage;
  }
  std::optional<std::size_t> count;
  if (const std::optional<std::string> text = line.Value("--count")) {
    const std::optional<std::uint16_t> number = SerialOf(*text);
    if (!number || *number == 0) {
      err << "--count needs a whole number of boards of 1 to 65535 (" << Echo(*text)
          << " given).\n";
      return kExitUsage;
    }
    count = *number;
  }
  const std::optional<ProvisionLog> log = ReadLog(session, *log_path);
  if (!log) {
    return kExitRefused;
  }
  std::uint32_t next = range->first;
  if (const std::optional<std::uint16_t> highest = log->HighestStored()) {
    next = std::max<std::uint32_t>(next, *highest + 1u);
  }
  if (next > range->last) {
    err << "The serial numbers " << FiveDigits(range->first) << "-" << FiveDigits(range->last)
        << " are used up: the log shows " << FiveDigits(*log->HighestStored())
        << " as stored (line " << *log->StoredAt(*log->HighestStored())
        << "). Nothing was written.\n";
    return kExitRefused;
  }
  Engravers* engravers = session.Reach();
  if (engravers == nullptr) {
    return kExitNoEngraver;
  }
  session.GetPacer().CatchStop();
  return Run(session, *engravers, *preset, *range, *log_path)
      .Go(count, static_cast<std::uint16_t>(next));
}

}  // namespace korimo::cli
