// One run of a command: its command line, the terminal streams and, once a
// command asks for it, the engravers (the platform's ports, the trace, the
// wait limit) and the link to the one it works on.
#pragma once

#include <algorithm>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "cli/cli.h"
#include "cli/command_line.h"
#include "cli/trace_files.h"
#include "cli/wait_limit.h"
#include "device/modKT90.h"

namespace korimo::cli {

// The engravers a command reaches: found by the platform's finder, opened
// through its device files (traced under --trace), every wait held to the
// time limit.
class Engravers {
 public:
  Engravers(platform::Ports ports, std::ostream* trace, WaitLimit& wait_limit);

  const platform::Ports& Ports() const { return ports_; }
  // Every engraver present, in the finder's order.
  std::vector<FoundEngraver> List() { return ports_.finder->ListEngravers(); }
  // Why an engraver listed cannot be used: its trouble, or that its device file
  // does not open; empty when it can be used.
  std::string Trouble(const FoundEngraver& engraver);
  // The engraver's USB device nodes, where the platform shows them; none elsewhere.
  std::vector<EngraverNode> Nodes() const {
    return ports_.nodes != nullptr ? ports_.nodes->ReadNodes() : std::vector<EngraverNode>{};
  }
  // A link to the engraver listed at `path`, or to the first one when empty.
  std::unique_ptr<modKT90> LinkTo(std::string path);

 private:
  platform::Ports ports_;
  std::unique_ptr<TracingDeviceFiles> trace_;
  WaitLimit& wait_limit_;
};

class Session {
 public:
  // `writes`: the command changes an engraver, so with several connected it
  // needs --device.
  Session(const CommandLine& line, Streams streams, const PortsProvider& ports,
          double timeout_seconds, bool writes, Pacer& pacer);
  // The engravers hold on to this session's wait limit: a session stays where it is.
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  const CommandLine& Line() const { return line_; }
  std::istream& In() { return streams_.in; }
  std::ostream& Out() { return streams_.out; }
  std::ostream& Err() { return streams_.err; }
  bool ErrIsTerminal() const { return streams_.err_is_terminal; }
  Pacer& GetPacer() { return pacer_; }

  // The engravers this run reaches, for the commands that look at every one;
  // nullptr once the user has been told why there is no way to reach them.
  Engravers* Reach();

  // The link to the engraver of this command (the one of --device, or the
  // first), or nullptr once the user has been told why not; the exit code is
  // then ConnectFailure().
  modKT90* Connect();
  int ConnectFailure() const { return connect_failure_; }

  // True when the last device operation gave up waiting for the controller;
  // says so on the error stream, naming `what` was not done.
  bool TimedOut(const std::string& what);

  // Says on the error stream, in one sentence, that `what` could not be read
  // because the engraver did not answer (and why, where the platform said),
  // then `consequence`; returns kExitNoAnswer.
  int NoAnswer(const std::string& what, const std::string& consequence);

  // Work that waits until the command has succeeded (the history's bound).
  void AtSuccess(std::function<void()> work) { at_success_.push_back(std::move(work)); }
  void Succeeded() {
    std::ranges::for_each(at_success_, [](const std::function<void()>& work) { work(); });
  }

 private:
  // The engraver of --device (its path), or the first one (empty); with
  // several engravers and none chosen a command that writes is refused.
  // Nothing once the user has been told.
  std::optional<std::string> ChooseEngraver(Engravers& engravers);

  const CommandLine& line_;
  Streams streams_;
  const PortsProvider& ports_;
  double timeout_seconds_;
  bool writes_;
  Pacer& pacer_;
  WaitLimit wait_limit_;
  std::unique_ptr<Engravers> engravers_;
  std::unique_ptr<modKT90> kt90_;
  bool several_ = false;  // several engravers and none chosen: say which one is used
  int connect_failure_ = kExitNoEngraver;
  std::vector<std::function<void()>> at_success_;
};

// The engraver of --device among those found: its 1-based index, its whole
// path (ignoring case) or, for USB, its port ("usb:3-2"); nothing when none.
std::optional<std::size_t> ResolveDevice(const std::string& given,
                                         const std::vector<FoundEngraver>& found);

}  // namespace korimo::cli
