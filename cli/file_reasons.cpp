#include "cli/file_reasons.h"

#include <cctype>
#include <utility>

#ifdef _WIN32
#include "win32/windows_api.h"
#endif

namespace korimo::cli {
namespace {

// The system's own words, as a sentence.
std::string SystemSentence(const std::error_code& error) {
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

}  // namespace

std::string_view KindName(PathKind kind) {
  switch (kind) {
    case PathKind::kFolder:
      return "a folder";
    case PathKind::kDevice:
      return "a device";
    case PathKind::kPipe:
      return "a named pipe";
    case PathKind::kSocket:
      return "a socket";
    case PathKind::kNothing:
    case PathKind::kFile:
    case PathKind::kSymlink:
    case PathKind::kOther:
      break;
  }
  return "not a file";
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
  return SystemSentence(error);
}

#ifdef _WIN32

std::error_code WindowsError(unsigned long code) {
  switch (code) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_NET_NAME:
      return std::make_error_code(std::errc::no_such_file_or_directory);
    case ERROR_ACCESS_DENIED:
    case ERROR_PRIVILEGE_NOT_HELD:
      return std::make_error_code(std::errc::permission_denied);
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
      return std::make_error_code(std::errc::file_exists);
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
      return std::make_error_code(std::errc::no_space_on_device);
    case ERROR_WRITE_PROTECT:
      return std::make_error_code(std::errc::read_only_file_system);
    case ERROR_FILENAME_EXCED_RANGE:
      return std::make_error_code(std::errc::filename_too_long);
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
      return std::make_error_code(std::errc::device_or_resource_busy);
    case ERROR_CANT_RESOLVE_FILENAME:
      return std::make_error_code(std::errc::too_many_symbolic_link_levels);
    default:
      return {static_cast<int>(code), std::system_category()};
  }
}

#endif

}  // namespace korimo::cli
