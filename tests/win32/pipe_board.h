// The simulated controller board served on a named pipe, standing in for the
// engraver's device file on a Windows PC (or under Wine). The real channel
// calls reach it unchanged: a read connection gets the 33-byte status packet,
// a write connection hands over one packet, and a probe connects and closes
// with nothing.
//
// One server thread keeps twenty pipe instances listening and serves every
// ready one in turn with overlapped I/O. On each connection it offers the
// status packet (the pipe has no out-buffer, so the write completes only when
// the client reads it) and reads at the same time; the connection ends when
// the client closes. A new connection is offered its status packet only once
// the connections before it have ended and their packets reached the board:
// a client's flush returns as soon as the data has left the pipe, before the
// server has seen its read complete, so a status read that follows a write
// would otherwise miss it.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "sim/board.h"

namespace korimo::win32test {

using Bytes = std::vector<std::uint8_t>;

struct PipeCounts {
  std::uint32_t connections = 0;
  std::uint32_t status_reads = 0;  // status packets the client took
  std::uint32_t packets = 0;       // packets the client wrote
  std::uint32_t probes = 0;        // connections that neither read nor wrote
  std::uint32_t ended = 0;         // connections the server has seen end
};

class PipeBoard {
 public:
  // Every connection holds an instance until the server has seen it end; a
  // client that outruns a busy server finds none listening, and its open
  // fails. Twenty leave room under load (a wait takes 64 handles at most).
  static constexpr int kInstances = 20;

  // `name` is the pipe's path, "\\.\pipe\...".
  PipeBoard(std::string name, sim::BoardTimings timings);
  ~PipeBoard();
  PipeBoard(const PipeBoard&) = delete;
  PipeBoard& operator=(const PipeBoard&) = delete;

  // Creates the instances and starts serving; false when the pipe cannot be made.
  bool Start();
  const std::string& Path() const { return name_; }

  // The board, held still while `use` runs.
  template <typename Use>
  auto WithBoard(Use use) {
    const Hold hold(*this);
    return use(TheBoard());
  }
  std::vector<Bytes> Received();
  PipeCounts Counts();
  // Waits (up to a second) until every connection made so far has ended and
  // been counted; false when one is still open.
  bool WaitUntilQuiet();
  void ResetLog();

 private:
  struct Server;
  class Hold {
   public:
    explicit Hold(PipeBoard& board);
    ~Hold();
    Hold(const Hold&) = delete;
    Hold& operator=(const Hold&) = delete;

   private:
    PipeBoard& board_;
  };

  sim::Board& TheBoard();

  std::string name_;
  std::unique_ptr<Server> server_;
};

}  // namespace korimo::win32test
