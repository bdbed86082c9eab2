#include "cli/file_reasons.h"

#include <algorithm>
#include <cctype>
#include <iterator>
#include <utility>

#ifdef _WIN32
#include "win32/windows_api.h"
#endif

namespace korimo::cli {
std::string_view KindName(PathKind kind) {
  static constexpr std::pair<PathKind, std::string_view> kNames[] = {
      {PathKind::kFolder, "a folder"},
      {PathKind::kDevice, "a device"},
      {PathKind::kPipe, "a named pipe"},
      {PathKind::kSocket, "a socket"},
  };
  const auto* name = std::ranges::find(kNames, kind, &std::pair<PathKind, std::string_view>::first);
  return name == std::end(kNames) ? "not a file" : name->second;
}

std::string Sentence(const FileTrouble& trouble) {
  if (trouble.not_a_file != PathKind::kNothing) {
    const std::string_view name = KindName(trouble.not_a_file);
    return name == "not a file" ? "It is not a file."
                                : "It is " + std::string(name) + ", not a file.";
  }
  const std::error_code& error = trouble.error;
  using std::errc;
  static constexpr std::pair<errc, std::string_view> kReasons[] = {
      {errc::no_such_file_or_directory, "There is no such file or folder."},
      {errc::permission_denied, "Permission is denied."},
      {errc::operation_not_permitted, "Permission is denied."},
      {errc::is_a_directory, "It is a folder."},
      {errc::not_a_directory, "A part of the path is not a folder."},
      {errc::too_many_symbolic_link_levels,
       "Its symbolic links go round in a loop (or nest too deeply)."},
      {errc::no_space_on_device, "The disk is full."},
      {errc::read_only_file_system, "The disk is read-only."},
      {errc::filename_too_long, "The name is too long."},
      {errc::io_error, "The disk reports an input/output error."},
      {errc::device_or_resource_busy, "It is in use."},
      {errc::file_exists, "Every name for a temporary file beside it is taken."},
  };
  for (const auto& [code, reason] : kReasons) {
    if (error == code) {
      return std::string(reason);
    }
  }
  // Else the system's own words, as a sentence.
  std::string text = error.message();
  while (!text.empty() &&
         (std::isspace(static_cast<unsigned char>(text.back())) != 0 || text.back() == '.')) {
    text.pop_back();
  }
  if (text.empty()) {
    return "The system reports error " + std::to_string(error.value()) + ".";
  }
  text[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(text[0])));
  return text + '.';
}

#ifdef _WIN32

std::error_code WindowsError(unsigned long code) {
  using std::errc;
  static constexpr std::pair<DWORD, errc> kErrors[] = {
      {ERROR_FILE_NOT_FOUND, errc::no_such_file_or_directory},
      {ERROR_PATH_NOT_FOUND, errc::no_such_file_or_directory},
      {ERROR_INVALID_DRIVE, errc::no_such_file_or_directory},
      {ERROR_BAD_NETPATH, errc::no_such_file_or_directory},
      {ERROR_BAD_NET_NAME, errc::no_such_file_or_directory},
      {ERROR_ACCESS_DENIED, errc::permission_denied},
      {ERROR_PRIVILEGE_NOT_HELD, errc::permission_denied},
      {ERROR_FILE_EXISTS, errc::file_exists},
      {ERROR_ALREADY_EXISTS, errc::file_exists},
      {ERROR_DISK_FULL, errc::no_space_on_device},
      {ERROR_HANDLE_DISK_FULL, errc::no_space_on_device},
      {ERROR_WRITE_PROTECT, errc::read_only_file_system},
      {ERROR_FILENAME_EXCED_RANGE, errc::filename_too_long},
      {ERROR_SHARING_VIOLATION, errc::device_or_resource_busy},
      {ERROR_LOCK_VIOLATION, errc::device_or_resource_busy},
      {ERROR_CANT_RESOLVE_FILENAME, errc::too_many_symbolic_link_levels},
  };
  const auto* known = std::ranges::find(kErrors, code, &std::pair<DWORD, errc>::first);
  return known == std::end(kErrors)
             ? std::error_code(static_cast<int>(code), std::system_category())
             : std::make_error_code(known->second);
}

#endif

}  // namespace korimo::cli
