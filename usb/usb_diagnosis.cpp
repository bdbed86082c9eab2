#include "usb/usb_diagnosis.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <system_error>

namespace korimo::usb {
namespace {

namespace fs = std::filesystem;

// A process name (comm) is at most 15 characters; anything longer is cut.
constexpr std::size_t kLongestName = 64;

bool IsNumber(const std::string& text) {
  return !text.empty() && text.size() <= 10 &&
         text.find_first_not_of("0123456789") == std::string::npos;
}

std::string NameOf(const fs::path& process) {
  std::ifstream comm(process / "comm");
  std::array<char, kLongestName> name{};
  comm.read(name.data(), name.size() - 1);
  std::string text(name.data(),
                   static_cast<std::size_t>(std::max<std::streamsize>(comm.gcount(), 0)));
  // Without its line feed (and NULs), and with '?' for what cannot be shown.
  text.erase(text.find_last_not_of(std::string_view("\n\0", 2)) + 1);
  std::replace_if(
      text.begin(), text.end(),
      [](char c) { return std::isprint(static_cast<unsigned char>(c)) == 0; }, '?');
  return text;
}

// The target of a link, cut to what fits a path.
std::string LinkTarget(const fs::path& link) {
  std::array<char, 4096> target{};
  const ssize_t length = ::readlink(link.c_str(), target.data(), target.size() - 1);
  return length > 0 ? std::string(target.data(), static_cast<std::size_t>(length)) : std::string();
}

}  // namespace

std::string ProcessesHolding(const std::string& node, int except, std::string_view proc) {
  struct stat wanted {};
  const bool known = ::stat(node.c_str(), &wanted) == 0;
  std::string holders;
  std::error_code error;
  for (fs::directory_iterator process(fs::path(proc), error), end; !error && process != end;
       process.increment(error)) {
    const std::string pid = process->path().filename().string();
    if (!IsNumber(pid) || pid == std::to_string(except)) {
      continue;
    }
    std::error_code fd_error;
    for (fs::directory_iterator fd(process->path() / "fd", fd_error); !fd_error && fd != end;
         fd.increment(fd_error)) {
      struct stat seen {};
      const bool same_file = known && ::stat(fd->path().c_str(), &seen) == 0 &&
                             seen.st_dev == wanted.st_dev && seen.st_ino == wanted.st_ino;
      if (same_file || LinkTarget(fd->path()) == node) {
        holders += (holders.empty() ? "" : ", ") + std::string("process ") + pid + " (" +
                   NameOf(process->path()) + ", " + fd->path().string() + ")";
        break;
      }
    }
  }
  return holders;
}

std::string KernelDriverOf(std::string_view port, std::string_view sys) {
  const fs::path link = fs::path(sys) / "bus/usb/devices" / (std::string(port) + ":1.0") / "driver";
  const std::string target = LinkTarget(link);
  return target.empty() ? std::string() : fs::path(target).filename().string();
}

}  // namespace korimo::usb
