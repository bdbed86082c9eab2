// One run of a command: its command line, the terminal streams and, once a
// command asks for it, the link to the engraver (the ports, the finder, the
// trace, the wait limit and the command set on top).
#pragma once

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

class Session {
 public:
  // `writes`: the command changes an engraver, so with several connected it
  // needs --device.
  Session(const CommandLine& line, Streams streams, const PortsProvider& ports,
          double timeout_seconds, bool writes, Pacer& pacer);
  ~Session();
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  const CommandLine& Line() const { return line_; }
  std::istream& In() { return streams_.in; }
  std::ostream& Out() { return streams_.out; }
  std::ostream& Err() { return streams_.err; }
  bool ErrIsTerminal() const { return streams_.err_is_terminal; }
  Pacer& GetPacer() { return pacer_; }

  // The command set with the engraver found (the one of --device, or the
  // first), or nullptr once the user has been told why not; the exit code is
  // then ConnectFailure().
  modKT90* Connect();
  int ConnectFailure() const { return connect_failure_; }

  // The command set and the finder before any engraver is chosen, for the
  // commands that look at every engraver; nullptr when there are no ports.
  modKT90* Link();
  EngraverFinder* Finder() { return finder_; }
  // True when engravers are found on the USB bus, not in the registry.
  bool FindsUsb() const { return searched_usb_; }
  // Whether the engraver listed can be used: no trouble, and its device file opens.
  bool Usable(const FoundEngraver& engraver);
  // The sentence for no engraver at all.
  std::string NoEngraverSentence() const;

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
    for (const std::function<void()>& work : at_success_) {
      work();
    }
  }

 private:
  // Applies --device, or with several engravers and none chosen refuses a
  // command that writes; false once the user has been told.
  bool ChooseEngraver();

  const CommandLine& line_;
  Streams streams_;
  const PortsProvider& ports_;
  double timeout_seconds_;
  bool writes_;
  Pacer& pacer_;
  WaitLimit wait_limit_;
  std::unique_ptr<TracingDeviceFiles> trace_;
  std::unique_ptr<EngraverFinder> own_finder_;
  EngraverFinder* finder_ = nullptr;
  DeviceFiles* files_ = nullptr;
  DeviceFiles* untraced_files_ = nullptr;
  std::unique_ptr<modKT90> kt90_;
  bool searched_usb_ = false;  // found through the USB finder, not the registry
  bool chosen_ = false;
  bool several_ = false;  // several engravers and none chosen: say which one is used
  int connect_failure_ = kExitNoEngraver;
  std::vector<std::function<void()>> at_success_;
};

// The engraver of --device among those found: its 1-based index, its whole
// path (ignoring case) or, for USB, its port ("usb:3-2"); nothing when none.
std::optional<std::size_t> ResolveDevice(const std::string& given,
                                         const std::vector<FoundEngraver>& found);

// "1 PATH, 2 PATH" for a sentence.
std::string EngraverListText(const std::vector<FoundEngraver>& found);

}  // namespace korimo::cli
