#include "run_program.h"

#include <array>
#include <chrono>
#include <vector>

#include "win32/windows_api.h"

namespace korimo::win32test {
namespace {

// A temporary file the child inherits as one of its standard streams.
class TempFile {
 public:
  TempFile() {
    std::array<char, MAX_PATH> folder{};
    std::array<char, MAX_PATH> name{};
    GetTempPathA(static_cast<DWORD>(folder.size()), folder.data());
    GetTempFileNameA(folder.data(), "kor", 0, name.data());
    path_ = name.data();
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    handle_ =
        CreateFileA(path_.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    &inherit, CREATE_ALWAYS, FILE_ATTRIBUTE_TEMPORARY, nullptr);
  }
  ~TempFile() {
    CloseHandle(handle_);
    DeleteFileA(path_.c_str());
  }
  TempFile(const TempFile&) = delete;
  TempFile& operator=(const TempFile&) = delete;

  HANDLE Handle() const { return handle_; }
  bool Valid() const { return handle_ != INVALID_HANDLE_VALUE; }

  void Write(const std::string& text) {
    DWORD written = 0;
    WriteFile(handle_, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    SetFilePointer(handle_, 0, nullptr, FILE_BEGIN);
  }

  std::string ReadAll() {
    SetFilePointer(handle_, 0, nullptr, FILE_BEGIN);
    std::string text;
    std::array<char, 4096> chunk{};
    DWORD read = 0;
    while (ReadFile(handle_, chunk.data(), static_cast<DWORD>(chunk.size()), &read, nullptr) &&
           read > 0) {
      text.append(chunk.data(), read);
    }
    return text;
  }

 private:
  std::string path_;
  HANDLE handle_ = INVALID_HANDLE_VALUE;
};

// Windows programs end their lines with CR LF; the tests compare with LF.
std::string WithoutCarriageReturns(std::string text) {
  std::erase(text, '\r');
  return text;
}

}  // namespace

std::string BesideThisProgram(const std::string& file_name) {
  std::array<char, MAX_PATH> path{};
  const DWORD length = GetModuleFileNameA(nullptr, path.data(), static_cast<DWORD>(path.size()));
  std::string folder(path.data(), length);
  folder.resize(folder.find_last_of("\\/") + 1);
  return folder + file_name;
}

std::optional<ProgramResult> RunProgram(const std::string& command_line, const std::string& input) {
  TempFile in;
  TempFile out;
  TempFile err;
  if (!in.Valid() || !out.Valid() || !err.Valid()) {
    return std::nullopt;
  }
  in.Write(input);

  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = in.Handle();
  startup.hStdOutput = out.Handle();
  startup.hStdError = err.Handle();
  PROCESS_INFORMATION process{};
  std::vector<char> line(command_line.begin(), command_line.end());
  line.push_back('\0');

  const auto start = std::chrono::steady_clock::now();
  if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                      &process)) {
    return std::nullopt;
  }
  WaitForSingleObject(process.hProcess, INFINITE);
  ProgramResult result;
  result.milliseconds =
      std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
  DWORD code = 0;
  GetExitCodeProcess(process.hProcess, &code);
  result.exit_code = code;
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  result.out = WithoutCarriageReturns(out.ReadAll());
  result.err = WithoutCarriageReturns(err.ReadAll());
  return result;
}

}  // namespace korimo::win32test
