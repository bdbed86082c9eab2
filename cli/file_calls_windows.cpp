// The file calls on Win32.
#include <algorithm>

#include "cli/file_calls.h"
#include "win32/windows_api.h"

namespace korimo::cli::file_calls {
namespace {

std::error_code LastError() {
  return WindowsError(GetLastError());
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
  if (attributes != INVALID_FILE_ATTRIBUTES) {
    if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
      trouble.not_a_file = PathKind::kSymlink;
      return kClosed;
    }
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
      trouble.not_a_file = PathKind::kFolder;
      return kClosed;
    }
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
  FileText result;
  if (!SetFilePointerEx(AsHandle(handle), LARGE_INTEGER{}, nullptr, FILE_BEGIN)) {
    result.trouble.error = LastError();
    return result;
  }
  result.text.resize(limit);
  std::size_t got = 0;
  while (got < limit) {
    DWORD read = 0;
    const auto size = static_cast<DWORD>(std::min<std::size_t>(limit - got, 1 << 20));
    if (!ReadFile(AsHandle(handle), result.text.data() + got, size, &read, nullptr)) {
      result.trouble.error = LastError();
      break;
    }
    if (read == 0) {
      break;
    }
    got += read;
  }
  result.text.resize(got);
  return result;
}

std::error_code AppendAndFlush(Handle handle, std::string_view text) {
  if (!SetFilePointerEx(AsHandle(handle), LARGE_INTEGER{}, nullptr, FILE_END)) {
    return LastError();
  }
  return WriteAndFlush(handle, text);
}

std::error_code WriteAndFlush(Handle handle, std::string_view text) {
  constexpr std::size_t kChunk = 1 << 20;
  while (!text.empty()) {
    DWORD written = 0;
    const auto size = static_cast<DWORD>(std::min(text.size(), kChunk));
    if (!WriteFile(AsHandle(handle), text.data(), size, &written, nullptr)) {
      return LastError();
    }
    text.remove_prefix(written);
  }
  return FlushFileBuffers(AsHandle(handle)) ? std::error_code{} : LastError();
}

// Closing alone releases a lock only when the system gets to it.
std::error_code Close(Handle handle) {
  OVERLAPPED whole{};
  UnlockFileEx(AsHandle(handle), 0, MAXDWORD, MAXDWORD, &whole);  // fails when none is held
  return CloseHandle(AsHandle(handle)) ? std::error_code{} : LastError();
}

std::error_code MoveOnto(const std::string& from, const std::string& to) {
  return MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)
             ? std::error_code{}
             : LastError();
}

// Without MOVEFILE_REPLACE_EXISTING a name that is taken fails the move.
std::error_code MoveToNewName(const std::string& from, const std::string& to) {
  return MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_WRITE_THROUGH) ? std::error_code{}
                                                                       : LastError();
}

void Remove(const std::string& name) {
  DeleteFileA(name.c_str());
}

FileText ReadText(const std::string& path, std::size_t limit) {
  FileText result;
  const DWORD attributes = GetFileAttributesA(path.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    result.trouble.not_a_file = PathKind::kFolder;
    return result;
  }
  const HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    result.trouble.error = LastError();
    return result;
  }
  switch (GetFileType(file)) {
    case FILE_TYPE_DISK:
      break;
    case FILE_TYPE_CHAR:
      result.trouble.not_a_file = PathKind::kDevice;
      break;
    case FILE_TYPE_PIPE:
      result.trouble.not_a_file = PathKind::kPipe;
      break;
    default:
      result.trouble.not_a_file = PathKind::kOther;
      break;
  }
  std::size_t got = 0;
  if (!result.trouble) {
    result.text.resize(limit);
    while (got < limit) {
      DWORD read = 0;
      const auto size = static_cast<DWORD>(std::min<std::size_t>(limit - got, 1 << 20));
      if (!ReadFile(file, result.text.data() + got, size, &read, nullptr)) {
        result.trouble.error = LastError();
        break;
      }
      if (read == 0) {
        break;
      }
      got += read;
    }
  }
  CloseHandle(file);
  result.text.resize(got);
  return result;
}

}  // namespace korimo::cli::file_calls
