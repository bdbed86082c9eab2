// Runs a program of the build (korimo-cli.exe) as a child process with
// CreateProcess and collects its exit code and output.
#pragma once

#include <optional>
#include <string>

namespace korimo::win32test {

struct ProgramResult {
  unsigned long exit_code = 0;
  std::string out;
  std::string err;
  double milliseconds = 0;  // wall time from start to exit
};

// The path of `file_name` in the folder of the running test program.
std::string BesideThisProgram(const std::string& file_name);

// Runs `command_line` (program path quoted as needed) with `input` on its
// standard input; nothing when the process cannot be started.
std::optional<ProgramResult> RunProgram(const std::string& command_line,
                                        const std::string& input = "");

}  // namespace korimo::win32test
