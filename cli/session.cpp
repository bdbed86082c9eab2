#include "cli/session.h"

#include <algorithm>
#include <chrono>
#include <ostream>

#include "cli/entries.h"

namespace korimo::cli {

std::optional<std::size_t> ResolveDevice(const std::string& given,
                                         const std::vector<FoundEngraver>& found) {
  // Up to three digits are an index; anything else is a path or a port.
  if (const std::optional<std::size_t> index =
          given.size() <= 3 ? WholeNumber<std::size_t>(given, 999) : std::nullopt) {
    return *index >= 1 && *index <= found.size() ? std::optional(*index - 1) : std::nullopt;
  }
  for (std::size_t i = 0; i < found.size(); ++i) {
    const std::string& path = found[i].path;
    if (!path.empty() && (SameDevicePath(path, given) || EngraverPort(path) == given)) {
      return i;
    }
  }
  return std::nullopt;
}

Session::Session(const CommandLine& line, Streams streams, const PortsProvider& ports,
                 double timeout_seconds, bool writes, Pacer& pacer)
    : line_(line),
      streams_(streams),
      ports_(ports),
      timeout_seconds_(timeout_seconds),
      writes_(writes),
      pacer_(pacer),
      wait_limit_(std::chrono::duration_cast<WaitLimit::Clock::duration>(
                      std::chrono::duration<double>(timeout_seconds)),
                  [&pacer] { return pacer.Now(); }) {}

Engravers::Engravers(platform::Ports ports, std::ostream* trace, WaitLimit& wait_limit)
    : ports_(std::move(ports)),
      trace_(trace != nullptr ? std::make_unique<TracingDeviceFiles>(*ports_.files, *trace)
                              : nullptr),
      wait_limit_(wait_limit) {}

std::string Engravers::Trouble(const FoundEngraver& engraver) {
  if (!engraver.trouble.empty()) {
    return engraver.trouble;
  }
  if (!engraver.path.empty() && ports_.listing_opens) {
    return {};
  }
  // A look, as the search is, not a transfer of the command: the trace leaves it out.
  const std::optional<FileHandle> file =
      engraver.path.empty() ? std::nullopt : ports_.files->Open(engraver.path, kReadOpen);
  if (file) {
    ports_.files->Close(*file);
    return {};
  }
  return "The engraver at " + engraver.path +
         " cannot be opened: another program has it open, or it was just unplugged.";
}

std::unique_ptr<modKT90> Engravers::LinkTo(std::string path) {
  auto link = std::make_unique<modKT90>(*ports_.finder, trace_ ? *trace_ : *ports_.files,
                                        wait_limit_, std::move(path));
  link->SetWaitLimit([this] { return wait_limit_.GiveUp(); });
  return link;
}

Engravers* Session::Reach() {
  if (!engravers_) {
    std::optional<platform::Ports> ports = ports_(line_.Has("--sim"), streams_.err);
    if (!ports) {
      return nullptr;
    }
    wait_limit_.SetSleeper(ports->sleep);
    engravers_ = std::make_unique<Engravers>(
        std::move(*ports), line_.Has("--trace") ? &streams_.err : nullptr, wait_limit_);
  }
  return engravers_.get();
}

std::optional<std::string> Session::ChooseEngraver(Engravers& engravers) {
  const std::vector<FoundEngraver> found = engravers.List();
  if (const std::optional<std::string> device = line_.Value("--device")) {
    const std::optional<std::size_t> index = ResolveDevice(*device, found);
    if (!index) {
      // "1 PATH, 2 PATH"
      std::string listed;
      for (std::size_t i = 0; i < found.size(); ++i) {
        listed += (i == 0 ? "" : ", ") + std::to_string(i + 1) + " " +
                  (found[i].path.empty() ? "(no path)" : found[i].path);
      }
      streams_.err << "--device " << Echo(*device) << " names no engraver found"
                   << (found.empty() ? " (there is none)." : "; found: " + listed + ".") << '\n';
      return std::nullopt;
    }
    return found[*index].path;
  }
  // Only engravers that can be used count: one that cannot be opened takes no
  // write anyway.
  std::size_t usable = 0;
  std::string usable_text;
  for (std::size_t i = 0; i < found.size() && found.size() > 1; ++i) {
    if (engravers.Trouble(found[i]).empty()) {
      usable_text += (usable++ == 0 ? "" : ", ") + std::to_string(i + 1) + " " + found[i].path;
    }
  }
  if (usable > 1 && writes_) {
    streams_.err << "Several engravers are connected (" << usable_text
                 << "); give --device PATH or INDEX to choose the one to change. Nothing was "
                    "written.\n";
    connect_failure_ = kExitSeveral;
    return std::nullopt;
  }
  several_ = usable > 1;
  return std::string();
}

modKT90* Session::Connect() {
  Engravers* engravers = Reach();
  if (engravers == nullptr) {
    return nullptr;
  }
  if (!kt90_) {
    std::optional<std::string> path = ChooseEngraver(*engravers);
    if (!path) {
      return nullptr;
    }
    kt90_ = engravers->LinkTo(std::move(*path));
  }
  connect_failure_ = kExitNoEngraver;
  if (!kt90_->IsDeviceConnected()) {
    if (!kt90_->DeviceTrouble().empty()) {
      streams_.err << kt90_->DeviceTrouble() << '\n';  // found, but it cannot be used
    } else if (line_.Has("--device")) {
      streams_.err << "The engraver of --device is no longer connected.\n";
    } else {
      streams_.err << engravers->Ports().none_found << '\n';
    }
    return nullptr;
  }
  if (several_) {
    streams_.err << "Several engravers are connected; using " << kt90_->DevicePath()
                 << " (give --device to choose another).\n";
    several_ = false;
  }
  return kt90_.get();
}

int Session::NoAnswer(const std::string& what, const std::string& consequence) {
  streams_.err << "The engraver did not answer: " << what << " could not be read";
  if (kt90_ && !kt90_->NoAnswerReason().empty()) {
    streams_.err << " (" << kt90_->NoAnswerReason() << ")";
  }
  streams_.err << "; " << consequence << ".\n";
  return kExitNoAnswer;
}

bool Session::TimedOut(const std::string& what) {
  if (!kt90_ || !kt90_->WaitGaveUp()) {
    return false;
  }
  streams_.err << "The engraver stayed busy for more than " << timeout_seconds_ << " s; " << what
               << ".\n";
  return true;
}

}  // namespace korimo::cli
