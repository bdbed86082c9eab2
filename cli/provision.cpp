// provision: a production run. Each engraver that arrives is Set to the model
// with the next serial number, every written cell is read back, one line goes
// to the log, and the run waits until the engraver is unplugged.
#include <algorithm>
#include <chrono>
#include <filesystem>
#include <memory>
#include <optional>
#include <ostream>
#include <set>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "cli/entries.h"
#include "cli/history.h"
#include "cli/ledger.h"
#include "cli/safe_files.h"
#include "cli/workshop.h"
#include "config/plan_runner.h"
#include "config/presets.h"
#include "config/set_plan.h"

namespace korimo::cli {
namespace {

// As the window's supervision looks: four times a second.
constexpr std::chrono::milliseconds kLookEvery{250};

// Up to five digits, 0 to 65535.
std::optional<std::uint16_t> SerialOf(std::string_view text) {
  return text.size() <= 5 ? WholeNumber<std::uint16_t>(text, 65535) : std::nullopt;
}

// "FIRST" (up to 65535) or "FIRST-LAST".
std::optional<SerialRange> RangeOf(std::string_view text) {
  const std::size_t dash = text.find('-');
  const std::optional<std::uint16_t> first = SerialOf(text.substr(0, dash));
  const std::optional<std::uint16_t> last = dash == std::string_view::npos
                                                ? std::optional<std::uint16_t>(65535)
                                                : SerialOf(text.substr(dash + 1));
  if (!first || !last || *first > *last) {
    return std::nullopt;
  }
  return SerialRange{*first, *last};
}

class Run {
 public:
  Run(Session& session, Engravers& engravers, const ModelPreset& preset, SerialRange range,
      SerialLedger& ledger, SerialLedger* station_log)
      : session_(session),
        engravers_(engravers),
        preset_(preset),
        range_(range),
        ledger_(ledger),
        station_log_(station_log),
        pacer_(session.GetPacer()) {}

  int Go(std::optional<std::size_t> count, std::uint16_t next);

 private:
  // In the order of the summary's texts.
  enum class Ending { kCount, kUsedUp, kStopped, kLogLost };

  // The first engraver that can be used, once one is there; nothing once the
  // user asked to stop.
  std::optional<std::string> WaitForArrival();
  // False once the user asked to stop.
  bool WaitUntilGone(const std::string& path);
  void Progress(const std::string& text);
  void EndProgress();
  // The error stream, once the progress line is gone.
  std::ostream& Say() {
    EndProgress();
    return session_.Err();
  }
  // Claims a serial number, then Sets, verifies and records one board; an
  // ending when the run cannot go on.
  std::optional<Ending> Provision(modKT90& kt90, const std::string& path);
  // The board as the ledger records it, now.
  LedgerBoard BoardAt(const std::string& path);
  // The engraver that can be used (the one of --device, or the first); says
  // once why another one cannot.
  std::optional<std::string> Found(const std::vector<FoundEngraver>& found);

  Session& session_;
  Engravers& engravers_;
  const ModelPreset& preset_;
  SerialRange range_;
  SerialLedger& ledger_;
  SerialLedger* station_log_;  // --log beside --ledger: the station's own record, or none
  Pacer& pacer_;
  std::uint32_t next_ = 0;  // the number shown as next; past the range once it is used up
  std::size_t done_ = 0;
  std::size_t failed_ = 0;
  std::size_t left_ = 0;  // boards that already carried a serial number
  std::optional<std::uint16_t> first_used_;
  std::optional<std::uint16_t> last_used_;
  std::set<std::string> told_;       // troubles already said
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
    const std::string trouble = engravers_.Trouble(found[i]);
    if (trouble.empty()) {
      return found[i].path;
    }
    if (told_.insert(trouble).second) {
      Say() << trouble << '\n';
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
    if (std::ranges::find(found, path, &FoundEngraver::path) == found.end()) {
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

LedgerBoard Run::BoardAt(const std::string& path) {
  // "usb:3-2 (/dev/bus/usb/003/007)" names its port first; other paths name none.
  const std::string port = path.starts_with("usb:") ? std::string(EngraverPort(path)) : "";
  return {path, port, std::string(preset_.name).substr(7), pacer_.UtcNow()};
}

std::optional<Run::Ending> Run::Provision(modKT90& kt90, const std::string& path) {
  // The claim comes before a single byte is written: no other station can take
  // the number, and it is never issued again, whatever happens to this board.
  const LedgerAnswer answer = ledger_.Claim(range_, BoardAt(path));
  if (!answer.claim) {
    EndProgress();
    if (answer.used_up) {
      next_ = range_.last + 1u;
      return Ending::kUsedUp;
    }
    session_.Err() << answer.trouble << " Nothing was written to the engraver at " << path << ".\n";
    return Ending::kLogLost;
  }
  const LedgerClaim claim = *answer.claim;
  const std::uint16_t serial = claim.serial;
  next_ = serial + 1u;
  const SetPlan plan = PlanSet(PresetFieldTexts(preset_, std::to_string(serial)), preset_.code);
  const std::vector<CellValue> wanted = WrittenCells(plan);
  // New boards: a copy would double each one's time, so only when asked for. A
  // board whose copy was refused is left as it is, and its number, claimed
  // already, is recorded as failed.
  const bool copied = !session_.Line().Has("--history") ||
                      KeepHistory(session_, kt90, "provision", wanted) == kExitOk;
  const bool lost = !copied || WriteCells(kt90, PlanCells(plan), RunStop::kAtFirstMiss).reached !=
                                   plan.writes.size();
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

  // The result is recorded before any other board is taken: while the ledger
  // cannot be reached the run waits, and says which serial the board carries.
  std::ostream& err = Say();
  const LedgerBoard board = BoardAt(path);
  for (bool told = false;;) {
    const std::string why = ledger_.Record(claim, board, stored, differing);
    if (why.empty()) {
      break;
    }
    if (!told) {
      err << "Serial number " << FiveDigits(serial)
          << (stored ? " is stored on " : " was tried on ") << path
          << " (label the board with it), but its result cannot be recorded: " << why
          << " Trying again; no other board is taken meanwhile (Ctrl+C ends the run).\n";
      told = true;
    }
    if (pacer_.StopAsked()) {
      err << "The result of serial number " << FiveDigits(serial) << " on " << path
          << " is not recorded: " << ledger_.Name() << " shows it as claimed.\n";
      return Ending::kLogLost;
    }
    pacer_.Pause(kLookEvery);
  }
  if (station_log_ != nullptr) {
    if (const std::string why = station_log_->Record(claim, board, stored, differing);
        !why.empty()) {
      err << why << " The result of serial number " << FiveDigits(serial)
          << " is recorded in the database only.\n";
    }
  }
  if (stored) {
    ++done_;
    first_used_ = first_used_.value_or(serial);
    last_used_ = serial;
    session_.Out() << "Stored serial number " << FiveDigits(serial) << " (" << preset_.name
                   << ") on " << path << " and verified its " << wanted.size()
                   << " cells; unplug it.\n";
  } else {
    ++failed_;
    const std::string why = !copied ? "is left as it is (nothing was written)"
                            : lost  ? "was lost during the Set"
                            : stayed_busy
                                ? "stayed busy during the Set"
                                : "failed verification (" + std::to_string(differing) + " of " +
                                      std::to_string(wanted.size()) + " cells differ" +
                                      (unread > 0 ? " or could not be read back)" : ")");
    err << "The engraver at " << path << " " << why << "; serial number " << FiveDigits(serial)
        << " is recorded as failed and never issued again.\n";
  }
  return std::nullopt;
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
      // A board carrying a number the ledger shows only as claimed or failed
      // was cut short by this tool: it has no serial yet.
      std::string trouble;
      const std::optional<bool> never_stored =
          carried && !IsPlaceholderSerial(*carried)
              ? ledger_.NeverStored(static_cast<std::uint16_t>(*carried), trouble)
              : std::optional(false);
      if (!never_stored) {
        Say() << trouble << " Nothing was written to the engraver at " << *path << ".\n";
        ending = Ending::kLogLost;
        break;
      }
      const bool no_serial_yet = carried && (IsPlaceholderSerial(*carried) || *never_stored);
      if (!carried) {
        // Whether it carries a serial number of its own is not known: nothing is written.
        ++left_;
        Say() << "The engraver at " << *path
              << " did not answer when its serial number was read; it is left as it is. "
                 "Unplug it and plug it in again.\n";
      } else if (!no_serial_yet && !session_.Line().Has("--overwrite-serial")) {
        ++left_;
        Say() << "The engraver at " << *path << " already carries serial number "
              << FiveDigits(*carried)
              << "; it is left as it is (give --overwrite-serial to replace it). Unplug "
                 "it.\n";
      } else if (const std::optional<Ending> end = Provision(*kt90, *path)) {
        ending = *end;
        break;
      }
    }
    if (pacer_.StopAsked() || !WaitUntilGone(*path)) {
      break;
    }
  }
  EndProgress();
  std::ostream& out = session_.Out();
  const std::string why[] = {
      " (" + std::to_string(done_) + " boards done, as --count asked)",
      " (the serial numbers " + FiveDigits(range_.first) + "-" + FiveDigits(range_.last) +
          " are used up)",
      " (stopped by Ctrl+C)",
      " (" + ledger_.Name() + " could not be used)",
  };
  out << "Provision ended" << why[static_cast<std::size_t>(ending)];
  out << ": " << done_ << " done, " << failed_ << " failed, " << left_
      << " left as they were; serial numbers used: ";
  out << (first_used_ ? FiveDigits(*first_used_) +
                            (done_ > 1 ? " to " + FiveDigits(*last_used_) : std::string())
                      : std::string("none"))
      << ".\n";
  return ending == Ending::kLogLost   ? kExitRefused
         : failed_ > 0                ? kExitSomeFailed
         : ending == Ending::kStopped ? kExitInterrupted
                                      : kExitOk;
}

}  // namespace

int RunProvision(Session& session, std::span<const std::string>) {
  const CommandLine& line = session.Line();
  std::ostream& err = session.Err();
  const std::optional<std::string> model = line.Value("--model");
  const std::optional<std::string> serials = line.Value("--serials");
  const std::optional<std::string> log_path = line.Value("--log");
  if (!model || !serials || (!log_path && !line.Has("--ledger"))) {
    err << "provision needs --model KX2 or KX3, --serials FIRST[-LAST] and --log FILE or "
           "--ledger CONNECTION.\n";
    return kExitUsage;
  }
  const ModelPreset* preset = ModelOfOption(*model);
  if (preset == nullptr) {
    err << "--model must be KX2 or KX3 for provision (" << Echo(*model) << " given).\n";
    return kExitUsage;
  }
  const std::optional<SerialRange> range = RangeOf(*serials);
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
  // The serial ledger: the database of --ledger, or else the log; --log beside
  // --ledger is the station's own record.
  const std::optional<std::string> connection = line.Value("--ledger");
  const std::unique_ptr<SerialLedger> station_log = log_path ? OpenFileLedger(*log_path) : nullptr;
  const std::unique_ptr<SerialLedger> database =
      connection ? OpenOdbcLedger(*connection, line.Value("--station").value_or(HostName()))
                 : nullptr;
  SerialLedger& ledger = database ? *database : *station_log;
  const LedgerAnswer first = ledger.Look(*range);
  if (first.used_up) {
    err << "The serial numbers " << FiveDigits(range->first) << "-" << FiveDigits(range->last)
        << " are used up: " << first.trouble << ". Nothing was written.\n";
    return kExitRefused;
  }
  if (!first.claim) {
    err << first.trouble << '\n';
    return kExitRefused;
  }
  Engravers* engravers = session.Reach();
  if (engravers == nullptr) {
    return kExitNoEngraver;
  }
  session.GetPacer().CatchStop();
  return Run(session, *engravers, *preset, *range, ledger, database ? station_log.get() : nullptr)
      .Go(count, first.claim->serial);
}

}  // namespace korimo::cli
