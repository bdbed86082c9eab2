#include "cli/session.h"

#include <chrono>
#include <ostream>

namespace korimo::cli {
namespace {

WaitLimit::Clock::duration LimitOf(double seconds) {
  return std::chrono::duration_cast<WaitLimit::Clock::duration>(
      std::chrono::duration<double>(seconds));
}

}  // namespace

Session::Session(const CommandLine& line, Streams streams, const PortsProvider& ports,
                 double timeout_seconds)
    : line_(line),
      streams_(streams),
      ports_(ports),
      timeout_seconds_(timeout_seconds),
      wait_limit_(LimitOf(timeout_seconds)) {}

Session::~Session() = default;

modKT90* Session::Connect() {
  if (!kt90_) {
    const std::optional<EngraverPorts> ports = ports_(line_.Has("--sim"), streams_.err);
    if (!ports) {
      return nullptr;
    }
    DeviceFiles* files = ports->files;
    if (line_.Has("--trace")) {
      trace_ = std::make_unique<TracingDeviceFiles>(*files, streams_.err);
      files = trace_.get();
    }
    searched_usb_ = ports->finder != nullptr;
    kt90_ = ports->finder != nullptr
                ? std::make_unique<modKT90>(*ports->finder, *files, wait_limit_)
                : std::make_unique<modKT90>(*ports->catalogue, *files, wait_limit_);
    kt90_->SetWaitLimit([this] { return wait_limit_.GiveUp(); });
    wait_limit_.SetSleeper(ports->sleep);
  }
  if (!kt90_->IsDeviceConnected()) {
    if (!kt90_->DeviceTrouble().empty()) {
      streams_.err << kt90_->DeviceTrouble() << '\n';  // found, but it cannot be used
    } else if (searched_usb_) {
      streams_.err << "No engraver found: no USB device 7e21:0065 is connected.\n";
    } else {
      streams_.err << "No engraver found: no active engraver interface is registered.\n";
    }
    return nullptr;
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
