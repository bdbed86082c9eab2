// One run of a command: its command line, the terminal streams and, once a
// command asks for it, the link to the engraver (the ports, the trace, the wait
// limit and the command set on top).
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "cli/cli.h"
#include "cli/command_line.h"
#include "cli/trace_files.h"
#include "cli/wait_limit.h"
#include "device/modKT90.h"

namespace korimo::cli {

class Session {
 public:
  Session(const CommandLine& line, Streams streams, const PortsProvider& ports,
          double timeout_seconds);
  ~Session();
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  const CommandLine& Line() const { return line_; }
  std::istream& In() { return streams_.in; }
  std::ostream& Out() { return streams_.out; }
  std::ostream& Err() { return streams_.err; }
  bool ErrIsTerminal() const { return streams_.err_is_terminal; }

  // The command set with the engraver found, or nullptr once the user has been
  // told that there is none (exit code kExitNoEngraver).
  modKT90* Connect();

  // True when the last device operation gave up waiting for the controller;
  // says so on the error stream, naming `what` was not done.
  bool TimedOut(const std::string& what);

  // Says on the error stream, in one sentence, that `what` could not be read
  // because the engraver did not answer (and why, where the platform said),
  // then `consequence`; returns kExitNoAnswer.
  int NoAnswer(const std::string& what, const std::string& consequence);

 private:
  const CommandLine& line_;
  Streams streams_;
  const PortsProvider& ports_;
  double timeout_seconds_;
  WaitLimit wait_limit_;
  std::unique_ptr<TracingDeviceFiles> trace_;
  std::unique_ptr<modKT90> kt90_;
  bool searched_usb_ = false;  // found through the USB finder, not the registry
};

}  // namespace korimo::cli
