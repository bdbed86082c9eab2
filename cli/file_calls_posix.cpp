// The file calls on POSIX systems.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <iterator>
#include <utility>

#include "cli/file_calls.h"
#include "cli/safe_files.h"

namespace korimo::cli::file_calls {
namespace {

std::error_code Errno() {
  return {errno, std::generic_category()};
}

// Why what `info` describes is no file to use: the error of the stat call that
// filled it (its result in `status`), or the kind of thing it is. A regular
// file is no trouble.
FileTrouble NotAFile(int status, const struct stat& info) {
  static constexpr std::pair<mode_t, PathKind> kKinds[] = {
      {S_IFREG, PathKind::kNothing}, {S_IFDIR, PathKind::kFolder}, {S_IFCHR, PathKind::kDevice},
      {S_IFBLK, PathKind::kDevice},  {S_IFIFO, PathKind::kPipe},   {S_IFSOCK, PathKind::kSocket},
  };
  if (status != 0) {
    return {Errno()};
  }
  const auto* kind =
      std::ranges::find(kKinds, info.st_mode & S_IFMT, &std::pair<mode_t, PathKind>::first);
  return {{}, kind == std::end(kKinds) ? PathKind::kOther : kind->second};
}

}  // namespace

// O_EXCL with O_CREAT never follows a symbolic link at `name`: it counts as taken.
Handle CreateExclusive(const std::string& name, std::error_code& error) {
  const int file =
      ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC, 0666);
  if (file < 0) {
    error = Errno();
    return kClosed;
  }
  return file;
}

Handle OpenLocked(const std::string& name, FileTrouble& trouble) {
  // Not blocking, so that a pipe placed at the name is not waited on.
  const int file =
      ::open(name.c_str(),
             O_RDWR | O_CREAT | O_APPEND | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC | O_NONBLOCK, 0644);
  if (file < 0) {
    if (errno == ELOOP) {
      trouble.not_a_file = PathKind::kSymlink;
    } else if (errno == EISDIR) {
      trouble.not_a_file = PathKind::kFolder;
    } else {
      trouble.error = Errno();
    }
    return kClosed;
  }
  struct stat info {};
  trouble = NotAFile(::fstat(file, &info), info);
  if (!trouble) {
    struct flock whole {};
    whole.l_type = F_WRLCK;
    whole.l_whence = SEEK_SET;
    while (::fcntl(file, F_SETLKW, &whole) != 0) {
      if (errno != EINTR) {
        trouble.error = Errno();
        break;
      }
    }
  }
  if (trouble) {
    ::close(file);
    return kClosed;
  }
  return file;
}

FileText ReadFromStart(Handle handle, std::size_t limit) {
  FileText result{std::string(limit, '\0'), {}};
  std::size_t got = 0;
  while (got < limit) {
    const ssize_t read = ::pread(static_cast<int>(handle), result.text.data() + got, limit - got,
                                 static_cast<off_t>(got));
    if (read < 0 && errno != EINTR) {
      result.trouble.error = Errno();
    }
    if (read == 0 || result.trouble) {
      break;
    }
    got += static_cast<std::size_t>(std::max<ssize_t>(read, 0));  // nothing when interrupted
  }
  result.text.resize(got);
  return result;
}

// The file is open with O_APPEND: every write lands at its end.
std::error_code AppendAndFlush(Handle file, std::string_view text) {
  return WriteAndFlush(file, text);
}

std::error_code WriteAndFlush(Handle handle, std::string_view text) {
  const int file = static_cast<int>(handle);
  while (!text.empty()) {
    const ssize_t written = ::write(file, text.data(), text.size());
    if (written < 0 && errno != EINTR) {
      return Errno();
    }
    text.remove_prefix(static_cast<std::size_t>(std::max<ssize_t>(written, 0)));
  }
  return ::fsync(file) == 0 ? std::error_code{} : Errno();
}

std::error_code Close(Handle handle) {
  return ::close(static_cast<int>(handle)) == 0 ? std::error_code{} : Errno();
}

namespace {

// The new name itself reaches the disk with its folder. The file is in its
// place either way, so a folder that cannot be flushed is no failure.
void FlushFolderOf(const std::string& name) {
  std::filesystem::path folder = std::filesystem::path(name).parent_path();
  if (folder.empty()) {
    folder = ".";
  }
  const int directory = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (directory >= 0) {
    static_cast<void>(::fsync(directory));
    ::close(directory);
  }
}

}  // namespace

std::error_code MoveOnto(const std::string& from, const std::string& to) {
  if (::rename(from.c_str(), to.c_str()) != 0) {
    return Errno();
  }
  FlushFolderOf(to);
  return {};
}

// link() fails when `to` is taken by anything, a symbolic link included; then
// the first name goes.
std::error_code MoveToNewName(const std::string& from, const std::string& to) {
  if (::link(from.c_str(), to.c_str()) != 0) {
    return Errno();
  }
  ::unlink(from.c_str());
  FlushFolderOf(to);
  return {};
}

void Remove(const std::string& name) {
  ::unlink(name.c_str());
}

}  // namespace korimo::cli::file_calls

namespace korimo::cli {

// Opened without waiting (a pipe with no writer would block), and checked
// both before and after the open, so the name cannot be swapped in between.
FileText ReadFileText(const std::string& path, std::size_t limit) {
  struct stat info {};
  FileText result{{}, file_calls::NotAFile(::stat(path.c_str(), &info), info)};
  if (result.trouble) {
    return result;
  }
  const int file = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (file < 0) {
    return {{}, {file_calls::Errno()}};
  }
  result.trouble = file_calls::NotAFile(::fstat(file, &info), info);
  if (!result.trouble) {
    result = file_calls::ReadFromStart(static_cast<file_calls::Handle>(file), limit);
  }
  ::close(file);
  return result;
}

}  // namespace korimo::cli
