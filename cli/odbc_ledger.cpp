// The database ledger: one table in the factory's SQL database, reached
// through the platform's ODBC driver manager (unixODBC on Linux, odbc32 on
// Windows) and the database's own driver. The serial number is the table's
// primary key, so a claim is an insert that the database itself lets only one
// station make; a duplicate-key refusal moves on to the next number.
#include <algorithm>
#include <array>
#include <cctype>
#include <sstream>
#include <utility>
#include <variant>
#include <vector>

#include "cli/entries.h"
#include "cli/ledger.h"

#ifdef _WIN32
#include "win32/windows_api.h"
#else
#include <unistd.h>
#endif
#include <sql.h>
#include <sqlext.h>

namespace korimo::cli {

const std::string_view kLedgerTableSql =
    "CREATE TABLE korimo_serials (\n"
    "  serial_number  INTEGER NOT NULL PRIMARY KEY,\n"
    "  claim_token    VARCHAR(64) NOT NULL UNIQUE,\n"
    "  station        VARCHAR(128) NOT NULL,\n"
    "  device_path    VARCHAR(512) NOT NULL,\n"
    "  usb_port       VARCHAR(64),\n"
    "  model          VARCHAR(16) NOT NULL,\n"
    "  state          VARCHAR(8) NOT NULL,\n"
    "  cells_differed INTEGER,\n"
    "  claimed_utc    VARCHAR(20) NOT NULL,\n"
    "  result_utc     VARCHAR(20)\n"
    ")";

std::string HostName() {
#ifdef _WIN32
  std::array<char, MAX_COMPUTERNAME_LENGTH + 1> name{};
  DWORD size = static_cast<DWORD>(name.size());
  if (GetComputerNameA(name.data(), &size) && size < name.size()) {
    return std::string(name.data(), size);
  }
#else
  std::array<char, 256> name{};
  if (gethostname(name.data(), name.size() - 1) == 0) {
    return std::string(name.data());
  }
#endif
  return "station";
}

namespace {

constexpr std::array<std::string_view, 10> kColumns = {
    "serial_number", "claim_token", "station",        "device_path", "usb_port",
    "model",         "state",       "cells_differed", "claimed_utc", "result_utc"};
constexpr SQLULEN kLoginSeconds = 5;

using Parameter = std::variant<std::string, SQLINTEGER>;
using Row = std::vector<std::optional<std::string>>;

// A serial number as the database sent it; nothing when it is none.
std::optional<std::uint16_t> SerialText(const std::optional<std::string>& text) {
  return text ? WholeNumber<std::uint16_t>(*text, 65535) : std::nullopt;
}

// What the driver said: the first SQLSTATE and every message, in its own words.
struct Diagnosis {
  std::string state;
  std::string words;

  bool Duplicate() const { return state == "23505" || state == "23000"; }
  bool ConnectionLost() const { return state.starts_with("08"); }
};

Diagnosis Diagnose(SQLSMALLINT type, SQLHANDLE handle) {
  Diagnosis diagnosis;
  for (SQLSMALLINT record = 1; record <= 4; ++record) {
    std::array<SQLCHAR, 6> state{};
    std::array<SQLCHAR, 1024> text{};
    SQLINTEGER native = 0;
    SQLSMALLINT length = 0;
    const SQLRETURN result = SQLGetDiagRec(type, handle, record, state.data(), &native, text.data(),
                                           static_cast<SQLSMALLINT>(text.size()), &length);
    if (!SQL_SUCCEEDED(result)) {
      break;
    }
    const auto size = std::clamp<std::size_t>(static_cast<std::size_t>(std::max<int>(length, 0)), 0,
                                              text.size() - 1);
    // One line, whatever line ends and tabs the driver put in its words.
    std::istringstream driver_words(std::string(reinterpret_cast<const char*>(text.data()), size));
    std::string words;
    for (std::string word; driver_words >> word;) {
      words += (words.empty() ? "" : " ") + word;
    }
    if (diagnosis.state.empty()) {
      diagnosis.state.assign(reinterpret_cast<const char*>(state.data()), 5);
    }
    diagnosis.words += (diagnosis.words.empty() ? "" : " ") + words;
  }
  if (diagnosis.words.empty()) {
    diagnosis.words = "The driver gave no reason.";
  }
  return diagnosis;
}

// One statement: bound parameters, run, rows read as text.
class Statement {
 public:
  explicit Statement(SQLHDBC connection) {
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_STMT, connection, &handle_))) {
      diagnosis_ = Diagnose(SQL_HANDLE_DBC, connection);
      handle_ = SQL_NULL_HSTMT;
    }
  }
  ~Statement() {
    if (handle_ != SQL_NULL_HSTMT) {
      SQLFreeHandle(SQL_HANDLE_STMT, handle_);
    }
  }
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;

  // False, with Failure() set, when the statement was refused.
  bool Run(std::string_view sql, std::vector<Parameter> parameters = {}) {
    if (handle_ == SQL_NULL_HSTMT) {
      return false;
    }
    parameters_ = std::move(parameters);
    indicators_.assign(parameters_.size(), 0);
    for (std::size_t i = 0; i < parameters_.size(); ++i) {
      const auto number = static_cast<SQLUSMALLINT>(i + 1);
      SQLRETURN bound = SQL_ERROR;
      if (auto* text = std::get_if<std::string>(&parameters_[i])) {
        indicators_[i] = static_cast<SQLLEN>(text->size());
        bound = SQLBindParameter(handle_, number, SQL_PARAM_INPUT, SQL_C_CHAR, SQL_VARCHAR,
                                 std::max<SQLULEN>(text->size(), 1), 0, text->data(),
                                 static_cast<SQLLEN>(text->size()), &indicators_[i]);
      } else {
        bound = SQLBindParameter(handle_, number, SQL_PARAM_INPUT, SQL_C_SLONG, SQL_INTEGER, 0, 0,
                                 &std::get<SQLINTEGER>(parameters_[i]), 0, &indicators_[i]);
      }
      if (!SQL_SUCCEEDED(bound)) {
        diagnosis_ = Diagnose(SQL_HANDLE_STMT, handle_);
        return false;
      }
    }
    std::string text(sql);
    const SQLRETURN result = SQLExecDirect(handle_, reinterpret_cast<SQLCHAR*>(text.data()),
                                           static_cast<SQLINTEGER>(text.size()));
    if (!SQL_SUCCEEDED(result) && result != SQL_NO_DATA) {
      diagnosis_ = Diagnose(SQL_HANDLE_STMT, handle_);
      return false;
    }
    return true;
  }

  // The next row's first `columns` columns as text (nothing for NULL); no
  // columns when no row is left.
  Row Fetch(std::size_t columns) {
    if (!SQL_SUCCEEDED(SQLFetch(handle_))) {
      return {};
    }
    Row row(columns);
    for (std::size_t i = 0; i < columns; ++i) {
      std::array<char, 600> text{};
      SQLLEN length = 0;
      if (!SQL_SUCCEEDED(SQLGetData(handle_, static_cast<SQLUSMALLINT>(i + 1), SQL_C_CHAR,
                                    text.data(), static_cast<SQLLEN>(text.size()), &length))) {
        return {};
      }
      if (length != SQL_NULL_DATA) {
        row[i] = std::string(text.data());
      }
    }
    return row;
  }

  // The result's column names, in lower case.
  std::vector<std::string> ColumnNames() {
    SQLSMALLINT count = 0;
    std::vector<std::string> names;
    if (!SQL_SUCCEEDED(SQLNumResultCols(handle_, &count))) {
      return names;
    }
    for (SQLSMALLINT i = 1; i <= count; ++i) {
      std::array<char, 128> name{};
      SQLColAttribute(handle_, static_cast<SQLUSMALLINT>(i), SQL_DESC_NAME, name.data(),
                      static_cast<SQLSMALLINT>(name.size() - 1), nullptr, nullptr);
      std::string& text = names.emplace_back(name.data());
      std::ranges::transform(text, text.begin(),
                             [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    }
    return names;
  }

  SQLLEN RowsChanged() {
    SQLLEN rows = -1;
    return SQL_SUCCEEDED(SQLRowCount(handle_, &rows)) ? rows : -1;
  }

  const Diagnosis& Failure() const { return diagnosis_; }

 private:
  SQLHSTMT handle_ = SQL_NULL_HSTMT;
  std::vector<Parameter> parameters_;
  std::vector<SQLLEN> indicators_;
  Diagnosis diagnosis_;
};

class OdbcLedger final : public SerialLedger {
 public:
  OdbcLedger(std::string connection, std::string station)
      : connection_(std::move(connection)), station_(std::move(station)) {}
  ~OdbcLedger() override {
    Disconnect();
    if (environment_ != SQL_NULL_HENV) {
      SQLFreeHandle(SQL_HANDLE_ENV, environment_);
    }
  }
  OdbcLedger(const OdbcLedger&) = delete;
  OdbcLedger& operator=(const OdbcLedger&) = delete;

  std::string Name() const override { return "the database"; }

  LedgerAnswer Look(SerialRange range) override {
    LedgerAnswer answer;
    if (Connect(answer.trouble)) {
      Next(range, answer);
    }
    return answer;
  }

  std::optional<bool> NeverStored(std::uint16_t serial, std::string& trouble) override {
    const std::unique_ptr<Statement> select = RunConnected(
        "SELECT state FROM korimo_serials WHERE serial_number = ?", {SQLINTEGER{serial}},
        "The database refused the look-up of serial number " + FiveDigits(serial) + ": ", trouble);
    if (!select) {
      return std::nullopt;
    }
    const Row row = select->Fetch(1);
    return !row.empty() && row[0] != "stored";
  }

  LedgerAnswer Claim(SerialRange range, const LedgerBoard& board) override {
    LedgerAnswer answer;
    if (!Connect(answer.trouble) || !Next(range, answer)) {
      return answer;
    }
    const std::string token = NewClaimToken(station_);
    std::uint32_t candidate = answer.claim->serial;
    bool reconnected = false;
    answer.claim.reset();
    while (candidate <= range.last) {
      Statement insert(connection_handle_);
      if (insert.Run("INSERT INTO korimo_serials (serial_number, claim_token, station, "
                     "device_path, usb_port, model, state, claimed_utc) VALUES (?, ?, ?, ?, ?, ?, "
                     "'claimed', ?)",
                     {static_cast<SQLINTEGER>(candidate), token, station_, board.device_path,
                      board.usb_port, board.model, board.time})) {
        answer.claim = LedgerClaim{static_cast<std::uint16_t>(candidate), token};
        return answer;
      }
      const Diagnosis& failure = insert.Failure();
      if (failure.Duplicate()) {
        ++candidate;  // another station took it a moment ago
        continue;
      }
      if (reconnected || !Lost(failure, answer.trouble)) {
        if (answer.trouble.empty()) {
          answer.trouble = "The database refused the claim of serial number " +
                           FiveDigits(candidate) + ": " + failure.words;
        }
        return answer;
      }
      // The insert may have reached the database before the connection was
      // lost: the token finds the row, so one claim never takes two numbers.
      reconnected = true;
      if (!Connect(answer.trouble)) {
        return answer;
      }
      Statement own(connection_handle_);
      if (!own.Run("SELECT serial_number FROM korimo_serials WHERE claim_token = ?", {token})) {
        answer.trouble = "The database cannot be read: " + own.Failure().words;
        return answer;
      }
      const Row row = own.Fetch(1);
      if (const std::optional<std::uint16_t> serial =
              row.empty() ? std::nullopt : SerialText(row[0])) {
        answer.claim = LedgerClaim{*serial, token};
        return answer;
      }
    }
    answer.used_up = true;
    answer.trouble =
        "the database shows every number up to " + FiveDigits(range.last) + " as claimed";
    return answer;
  }

  std::string Record(const LedgerClaim& claim, const LedgerBoard& board, bool stored,
                     std::uint32_t cells_differed) override {
    std::string trouble;
    const std::unique_ptr<Statement> update = RunConnected(
        "UPDATE korimo_serials SET state = ?, cells_differed = ?, result_utc = ? "
        "WHERE serial_number = ? AND claim_token = ?",
        {std::string(stored ? "stored" : "failed"), static_cast<SQLINTEGER>(cells_differed),
         board.time, SQLINTEGER{claim.serial}, claim.token},
        "The database refused the result: ", trouble);
    if (!update) {
      return trouble;
    }
    if (update->RowsChanged() != 1) {
      return "The row of serial number " + FiveDigits(claim.serial) +
             " in the table korimo_serials no longer holds this station's claim; nothing was "
             "changed.";
    }
    return "";
  }

 private:
  // Runs `sql`, connecting first, and once more on a new connection when the
  // first finds it lost. The statement once run, or nothing with `trouble` set:
  // no connection could be made, it was lost, or the statement was refused
  // (the sentence then begins with `refused`).
  std::unique_ptr<Statement> RunConnected(std::string_view sql,
                                          const std::vector<Parameter>& parameters,
                                          const std::string& refused, std::string& trouble) {
    std::unique_ptr<Statement> statement;
    for (int attempt = 0; attempt < 2; ++attempt) {
      statement.reset();  // freed before a lost connection is let go of
      if (!Connect(trouble)) {
        return nullptr;
      }
      statement = std::make_unique<Statement>(connection_handle_);
      if (statement->Run(sql, parameters)) {
        return statement;
      }
      if (!Lost(statement->Failure(), trouble)) {
        break;
      }
    }
    if (trouble.empty()) {
      trouble = refused + statement->Failure().words;
    }
    return nullptr;
  }

  // True when the failure was a lost connection (closed here, for the next
  // Connect); false, with `trouble` empty, for any other failure.
  bool Lost(const Diagnosis& failure, std::string& trouble) {
    SQLUINTEGER dead = SQL_CD_FALSE;
    const bool gone = failure.ConnectionLost() ||
                      (SQL_SUCCEEDED(SQLGetConnectAttr(connection_handle_, SQL_ATTR_CONNECTION_DEAD,
                                                       &dead, 0, nullptr)) &&
                       dead == SQL_CD_TRUE);
    if (gone) {
      // Let go of it at the next Connect, once the statement that found it lost
      // has freed its own handle.
      lost_ = true;
      trouble = "The connection to the database was lost: " + failure.words;
    }
    return gone;
  }

  void Disconnect() {
    if (connection_handle_ != SQL_NULL_HDBC) {
      SQLDisconnect(connection_handle_);
      SQLFreeHandle(SQL_HANDLE_DBC, connection_handle_);
      connection_handle_ = SQL_NULL_HDBC;
    }
  }

  bool Connect(std::string& trouble) {
    if (lost_) {
      Disconnect();
      lost_ = false;
    }
    if (connection_handle_ != SQL_NULL_HDBC) {
      return true;
    }
    if (environment_ == SQL_NULL_HENV) {
      if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &environment_)) ||
          !SQL_SUCCEEDED(SQLSetEnvAttr(environment_, SQL_ATTR_ODBC_VERSION,
                                       reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0))) {
        trouble = "The ODBC driver manager cannot be used.";
        return false;
      }
    }
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_DBC, environment_, &connection_handle_))) {
      trouble =
          "The ODBC driver manager cannot be used: " + Diagnose(SQL_HANDLE_ENV, environment_).words;
      connection_handle_ = SQL_NULL_HDBC;
      return false;
    }
    SQLSetConnectAttr(connection_handle_, SQL_ATTR_LOGIN_TIMEOUT,
                      reinterpret_cast<SQLPOINTER>(kLoginSeconds), 0);
    std::string text = connection_;
    if (!SQL_SUCCEEDED(
            SQLDriverConnect(connection_handle_, nullptr, reinterpret_cast<SQLCHAR*>(text.data()),
                             static_cast<SQLSMALLINT>(std::min<std::size_t>(text.size(), 32767)),
                             nullptr, 0, nullptr, SQL_DRIVER_NOPROMPT))) {
      trouble =
          "The database cannot be reached: " + Diagnose(SQL_HANDLE_DBC, connection_handle_).words;
      Disconnect();
      return false;
    }
    if (!checked_ && !CheckTable(trouble)) {
      Disconnect();
      return false;
    }
    checked_ = true;
    return true;
  }

  // Creates the table when it is missing; refuses one that is not the
  // ledger's, or holds rows no station writes, and leaves it as it is.
  bool CheckTable(std::string& trouble, bool created_elsewhere = false) {
    Statement probe(connection_handle_);
    if (!probe.Run("SELECT * FROM korimo_serials WHERE 1 = 0")) {
      const Diagnosis& failure = probe.Failure();
      if (failure.state != "42S02" && failure.state != "42P01") {
        trouble = "The table korimo_serials cannot be read: " + failure.words;
        return false;
      }
      Statement create(connection_handle_);
      if (create.Run(kLedgerTableSql)) {
        return true;
      }
      // Another station may have created it a moment ago.
      if (!created_elsewhere) {
        return CheckTable(trouble, true);
      }
      trouble =
          "The table korimo_serials is missing and cannot be created: " + create.Failure().words;
      return false;
    }
    const std::vector<std::string> names = probe.ColumnNames();
    if (!std::equal(names.begin(), names.end(), kColumns.begin(), kColumns.end())) {
      std::string listed;
      for (const std::string& name : names) {
        listed += (listed.empty() ? "" : ", ") + name;
      }
      trouble =
          "The table korimo_serials in the database is not a serial ledger (its columns are " +
          listed + "); it is left as it is.";
      return false;
    }
    Statement damage(connection_handle_);
    const Row row = damage.Run(
                        "SELECT COUNT(*) FROM korimo_serials WHERE serial_number < 0 OR "
                        "serial_number > 65535 OR state IS NULL OR state NOT IN ('claimed', "
                        "'stored', 'failed') OR claim_token IS NULL")
                        ? damage.Fetch(1)
                        : Row{};
    if (row.empty() || !row[0]) {
      trouble = "The table korimo_serials cannot be read: " + damage.Failure().words;
      return false;
    }
    if (*row[0] != "0") {
      trouble = "The table korimo_serials is damaged: " + *row[0] +
                " of its rows hold a serial number outside 0 to 65535, no claim token or a "
                "state other than claimed, stored or failed; it is left as it is.";
      return false;
    }
    return true;
  }

  // The number after the highest the table holds in `range`; false, with the
  // answer's trouble or used_up set, when there is none.
  bool Next(SerialRange range, LedgerAnswer& answer) {
    Statement select(connection_handle_);
    if (!select.Run("SELECT serial_number, state FROM korimo_serials WHERE serial_number BETWEEN "
                    "? AND ? ORDER BY serial_number DESC",
                    {SQLINTEGER{range.first}, SQLINTEGER{range.last}})) {
      Lost(select.Failure(), answer.trouble);
      answer.trouble = "The database cannot be read: " + select.Failure().words;
      return false;
    }
    const Row row = select.Fetch(2);
    if (row.empty() || !row[0]) {
      answer.claim = LedgerClaim{range.first, {}};
      return true;
    }
    const std::optional<std::uint16_t> highest = SerialText(row[0]);
    if (!highest) {
      answer.trouble = "The database sent a serial number that is none: " + Echo(*row[0]);
      return false;
    }
    if (*highest >= range.last) {
      answer.used_up = true;
      answer.trouble =
          "the database shows " + FiveDigits(range.last) + " as " + row[1].value_or("claimed");
      return false;
    }
    answer.claim = LedgerClaim{static_cast<std::uint16_t>(*highest + 1), {}};
    return true;
  }

  std::string connection_;
  std::string station_;
  SQLHENV environment_ = SQL_NULL_HENV;
  SQLHDBC connection_handle_ = SQL_NULL_HDBC;
  bool lost_ = false;  // the connection was found lost: reconnect before the next statement
  bool checked_ = false;
};

}  // namespace

std::unique_ptr<SerialLedger> OpenOdbcLedger(const std::string& connection,
                                             const std::string& station) {
  return std::make_unique<OdbcLedger>(connection, station);
}

}  // namespace korimo::cli
