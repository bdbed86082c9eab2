// The file calls on Win32.
#include <algorithm>

#include "cli/file_calls.h"
#include "cli/safe_files.h"
#include "win32/windows_api.h"

namespace korimo::cli::file_calls {
namespace {

std::error_code LastError() {
  return WindowsError(GetLastError());
}

// No error when the call succeeded, else the thread's last error.
std::error_code Checked(BOOL succeeded) {
  return succeeded ? std::error_code{} : LastError();
}

HANDLE AsHandle(Handle handle) {
  return reinterpret_cast<HANDLE>(handle);
}

PathKind KindOfType(DWORD type) {
  switch (type) {
    case FILE_TYPE_DISK:
      return PathKind::kFile;
    case FILE_TYPE_CHAR:
      return PathKind::kDevice;
    case FILE_TYPE_PIPE:
      return PathKind::kPipe;
    default:
      return PathKind::kOther;
  }
}

}  // namespace

// A reparse point (a symbolic link) at `name` counts as taken, not followed.
Handle CreateExclusive(const std::string& name, std::error_code& error) {
  const HANDLE file = CreateFileA(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                  FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    error = LastError();
    return kClosed;
  }
  return reinterpret_cast<Handle>(file);
}

Handle OpenLocked(const std::string& name, FileTrouble& trouble) {
  const DWORD attributes = GetFileAttributesA(name.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES &&
      (attributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) != 0) {
    trouble.not_a_file =
        (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 ? PathKind::kSymlink : PathKind::kFolder;
    return kClosed;
  }
  const HANDLE file = CreateFileA(name.c_str(), GENERIC_READ | GENERIC_WRITE,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    trouble.error = LastError();
    return kClosed;
  }
  if (const PathKind kind = KindOfType(GetFileType(file)); kind != PathKind::kFile) {
    trouble.not_a_file = kind;
  } else if (OVERLAPPED whole{};
             !LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK, 0, MAXDWORD, MAXDWORD, &whole)) {
    trouble.error = LastError();
  }
  if (trouble) {
    CloseHandle(file);
    return kClosed;
  }
  return reinterpret_cast<Handle>(file);
}

FileText ReadFromStart(Handle handle, std::size_t limit) {
  FileText result{
      std::string(limit, '\0'),
      {Checked(SetFilePointerEx(AsHandle(handle), LARGE_INTEGER{}, nullptr, FILE_BEGIN))}};
  std::size_t got = 0;
  while (!result.trouble && got < limit) {
    DWORD read = 0;
    const auto size = static_cast<DWORD>(std::min<std::size_t>(limit - got, 1 << 20));
    result.trouble.error =
        Checked(ReadFile(AsHandle(handle), result.text.data() + got, size, &read, nullptr));
    if (read == 0) {
      break;
    }
    got += read;
  }
  result.text.resize(got);
  return result;
}

std::error_code AppendAndFlush(Handle handle, std::string_view text) {
  const std::error_code error =
      Checked(SetFilePointerEx(AsHandle(handle), LARGE_INTEGER{}, nullptr, FILE_END));
  return error ? error : WriteAndFlush(handle, text);
}

std::error_code WriteAndFlush(Handle handle, std::string_view text) {
  std::error_code error;
  while (!error && !text.empty()) {
    DWORD written = 0;
    const auto size = static_cast<DWORD>(std::min<std::size_t>(text.size(), 1 << 20));
    error = Checked(WriteFile(AsHandle(handle), text.data(), size, &written, nullptr));
    text.remove_prefix(written);
  }
  return error ? error : Checked(FlushFileBuffers(AsHandle(handle)));
}

// Closing alone releases a lock only when the system gets to it.
std::error_code Close(Handle handle) {
  OVERLAPPED whole{};
  UnlockFileEx(AsHandle(handle), 0, MAXDWORD, MAXDWORD, &whole);  // fails when none is held
  return Checked(CloseHandle(AsHandle(handle)));
}

std::error_code MoveOnto(const std::string& from, const std::string& to) {
  return Checked(
      MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH));
}

// Without MOVEFILE_REPLACE_EXISTING a name that is taken fails the move.
std::error_code MoveToNewName(const std::string& from, const std::string& to) {
  return Checked(MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_WRITE_THROUGH));
}

void Remove(const std::string& name) {
  DeleteFileA(name.c_str());
}

}  // namespace korimo::cli::file_calls

namespace korimo::cli {

FileText ReadFileText(const std::string& path, std::size_t limit) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    return {{}, {{}, PathKind::kFolder}};
  }
  const HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    return {{}, {file_calls::LastError()}};
  }
  FileText result;
  if (const PathKind kind = file_calls::KindOfType(GetFileType(file)); kind != PathKind::kFile) {
    result.trouble.not_a_file = kind;
  } else {
    result = file_calls::ReadFromStart(reinterpret_cast<file_calls::Handle>(file), limit);
  }
  CloseHandle(file);
  return result;
}

}  // namespace korimo::cli
