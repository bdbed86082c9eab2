#include "cli/session.h"

#include <algorithm>
#include <chrono>
#include <ostream>

#include "cli/entries.h"
#include "device/registry_finder.h"

namespace korimo::cli {
namespace {

WaitLimit::Clock::duration LimitOf(double seconds) {
  return std::chrono::duration_cast<WaitLimit::Clock::duration>(
      std::chrono::duration<double>(seconds));
}

}  // namespace

std::optional<std::size_t> ResolveDevice(const std::string& given,
                                         const std::vector<FoundEngraver>& found) {
  if (!given.empty() && given.size() <= 3 &&
      std::all_of(given.begin(), given.end(), [](char c) { return c >= '0' && c <= '9'; })) {
    const std::size_t index = std::stoul(given);
    if (index >= 1 && index <= found.size()) {
      return index - 1;
    }
    return std::nullopt;
  }
  for (std::size_t i = 0; i < found.size(); ++i) {
    const std::string& path = found[i].path;
    if (!path.empty() &&
        (SameDevicePath(path, given) || path.substr(0, path.find(" (")) == given)) {
      return i;
    }
  }
  return std::nullopt;
}

std::string EngraverListText(const std::vector<FoundEngraver>& found) {
  std::string text;
  for (std::size_t i = 0; i < found.size(); ++i) {
    text += (i == 0 ? "" : ", ") + std::to_string(i + 1) + " " +
            (found[i].path.empty() ? "(no path)" : found[i].path);
  }
  return text;
}

Session::Session(const CommandLine& line, Streams streams, const PortsProvider& ports,
                 double timeout_seconds, bool writes, Pacer& pacer)
    : line_(line),
      streams_(streams),
      ports_(ports),
      timeout_seconds_(timeout_seconds),
      writes_(writes),
      pacer_(pacer),
      wait_limit_(LimitOf(timeout_seconds)) {}

Session::~Session() = default;

modKT90* Session::Link() {
  if (!kt90_) {
    const std::optional<EngraverPorts> ports = ports_(line_.Has("--sim"), streams_.err);
    if (!ports) {
      return nullptr;
    }
    files_ = ports->files;
    untraced_files_ = ports->files;
    if (line_.Has("--trace")) {
      trace_ = std::make_unique<TracingDeviceFiles>(*files_, streams_.err);
      files_ = trace_.get();
    }
    nodes_ = ports->nodes;
    searched_usb_ = ports->finder != nullptr;
    if (ports->finder != nullptr) {
      finder_ = ports->finder;
    } else {
      own_finder_ = std::make_unique<RegistryFinder>(*ports->catalogue);
      finder_ = own_finder_.get();
    }
    kt90_ = std::make_unique<modKT90>(*finder_, *files_, wait_limit_);
    kt90_->SetWaitLimit([this] { return wait_limit_.GiveUp(); });
    wait_limit_.SetSleeper(ports->sleep);
  }
  return kt90_.get();
}

std::string Session::NoEngraverSentence() const {
  return searched_usb_ ? "No engraver found: no USB device 7e21:0065 is connected."
                       : "No engraver found: no active engraver interface is registered.";
}

bool Session::ChooseEngraver() {
  const std::vector<FoundEngraver> found = finder_->ListEngravers();
  if (const std::optional<std::string> device = line_.Value("--device")) {
    const std::optional<std::size_t> index = ResolveDevice(*device, found);
    if (!index) {
      streams_.err << "--device " << Echo(*device) << " names no engraver found"
                   << (found.empty() ? std::string(" (there is none).")
                                     : "; found: " + EngraverListText(found) + ".")
                   << '\n';
      connect_failure_ = kExitNoEngraver;
      return false;
    }
    finder_->Choose(found[*index].path);
    return true;
  }
  // Only engravers that can be used count: one that cannot be opened takes no
  // write anyway.
  std::size_t usable = 0;
  std::string usable_text;
  for (std::size_t i = 0; i < found.size() && found.size() > 1; ++i) {
    if (Usable(found[i])) {
      usable_text += (usable++ == 0 ? "" : ", ") + std::to_string(i + 1) + " " + found[i].path;
    }
  }
  if (usable > 1 && writes_) {
    streams_.err << "Several engravers are connected (" << usable_text
                 << "); give --device PATH or INDEX to choose the one to change. Nothing was "
                    "written.\n";
    connect_failure_ = kExitSeveral;
    return false;
  }
  several_ = usable > 1;
  return true;
}

bool Session::Usable(const FoundEngraver& engraver) {
  if (!engraver.trouble.empty() || engraver.path.empty()) {
    return false;
  }
  if (searched_usb_) {
    return true;  // the USB finder has opened and claimed it to list it
  }
  // A look, as the search is, not a transfer of the command: the trace leaves it out.
  const std::optional<FileHandle> file = untraced_files_->Open(engraver.path, kReadOpen);
  if (file) {
    untraced_files_->Close(*file);
  }
  return file.has_value();
}

modKT90* Session::Connect() {
  if (Link() == nullptr) {
    connect_failure_ = kExitNoEngraver;
    return nullptr;
  }
  if (!chosen_) {
    if (!ChooseEngraver()) {
      return nullptr;
    }
    chosen_ = true;
  }
  connect_failure_ = kExitNoEngraver;
  if (!kt90_->IsDeviceConnected()) {
    if (!kt90_->DeviceTrouble().empty()) {
      streams_.err << kt90_->DeviceTrouble() << '\n';  // found, but it cannot be used
    } else if (line_.Has("--device")) {
      streams_.err << "The engraver of --device is no longer connected.\n";
    } else {
      streams_.err << NoEngraverSentence() << '\n';
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
