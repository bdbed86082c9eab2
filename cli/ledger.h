// The serial ledger of a production run: the one authority for the next
// serial number. provision claims a number before a single byte is written to
// a board, so that no other station, on this PC or another, can take it; a
// claimed number is never issued again, whatever happens to the board. After
// the Set the result is recorded against the claim.
//
// Two ledgers: the provision log itself, locked while a claim is appended
// (FileLedger), and a table in an SQL database reached through ODBC
// (OdbcLedger).
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace korimo::cli {

struct SerialRange {
  std::uint16_t first = 0;
  std::uint16_t last = 0;
};

// The board a number is claimed for, as the ledger records it.
struct LedgerBoard {
  std::string device_path;
  std::string usb_port;  // "usb:3-2" where known, else empty
  std::string model;     // "KX2" or "KX3"
  std::string time;      // UTC, as the log writes it
};

struct LedgerClaim {
  std::uint16_t serial = 0;
  std::string token;  // unique to this claim: a retried claim finds its own row by it
};

// The answer to a look or a claim: a number, or the range is used up, or the
// ledger could not be used (`trouble` says why in one or more sentences).
struct LedgerAnswer {
  std::optional<LedgerClaim> claim;
  bool used_up = false;
  std::string trouble;  // with used_up: what shows it ("the log shows 00102 as stored (line 3)")
};

class SerialLedger {
 public:
  virtual ~SerialLedger() = default;
  // What a claim would give now, writing nothing: a first check before the
  // run waits for boards.
  virtual LedgerAnswer Look(SerialRange range) = 0;
  // Whether the ledger shows `serial` as claimed or tried but never stored (a
  // board carrying it was cut short by this tool, so it has no serial yet);
  // nothing with `trouble` set when the ledger could not be read.
  virtual std::optional<bool> NeverStored(std::uint16_t serial, std::string& trouble) = 0;
  // Claims the next free number of `range` for `board`.
  virtual LedgerAnswer Claim(SerialRange range, const LedgerBoard& board) = 0;
  // Records the result of a claim; empty when recorded, else why not.
  virtual std::string Record(const LedgerClaim& claim, const LedgerBoard& board, bool stored,
                             std::uint32_t cells_differed) = 0;
  // "the log FILE" or "the database": the ledger in a sentence.
  virtual std::string Name() const = 0;
};

// A claim token no other claim has: the station and random letters.
std::string NewClaimToken(const std::string& station);

// The provision log at `path`, claims included.
std::unique_ptr<SerialLedger> OpenFileLedger(const std::string& path);

// The ledger table in the database that `connection` (an ODBC connection
// string) reaches, for `station`. Nothing is connected until first used.
std::unique_ptr<SerialLedger> OpenOdbcLedger(const std::string& connection,
                                             const std::string& station);

// The host's name, the default station.
std::string HostName();

// The SQL that creates the ledger's table.
extern const std::string_view kLedgerTableSql;

}  // namespace korimo::cli
