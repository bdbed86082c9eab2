// backup, restore and diff among hostile file-system states: what another
// user may have placed at the names the tool writes and reads. Run as root and
// again as nobody (the cases about access rights need a user a file mode stops).
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <map>
#include <thread>

#include "cli/backup_file.h"
#include "tests/cli/cli_fixture.h"

#ifndef _WIN32
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <unistd.h>
#endif

namespace korimo::cli {
namespace {

namespace fs = std::filesystem;

#ifdef _WIN32
constexpr bool kRoot = false;
const std::string kOdd = "\x7F";  // a control character a Windows name may hold
#else
const bool kRoot = ::geteuid() == 0;
const std::string kOdd = "\x1B";
#endif

std::string Text(const fs::path& path) {
  std::ifstream file(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(file), {}};
}

// Every name below `folder` with its kind, and the text of a file or the
// target of a link.
std::map<std::string, std::string> Snapshot(const fs::path& folder) {
  std::map<std::string, std::string> names;
  for (const fs::directory_entry& entry : fs::recursive_directory_iterator(folder)) {
    const fs::file_type type = entry.symlink_status().type();
    std::error_code error;
    names[entry.path().string()] =
        std::to_string(static_cast<int>(type)) + ' ' +
        (type == fs::file_type::symlink
             ? fs::read_symlink(entry.path(), error).string()
             : (type == fs::file_type::regular ? Text(entry.path()) : ""));
  }
  return names;
}

TEST_F(CliTest, HostileFileStatesAreNeverWrittenThroughOrWaitedOn) {
  const fs::path folder =
      fs::temp_directory_path() /
      ("korimo-files-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()));
  const std::string path = (folder / "memory.txt").string();
  const std::string partial = path + ".partial";
  const auto clear = [&] {
    std::error_code error;
    fs::permissions(folder / "shut", fs::perms::owner_all, error);
    fs::remove_all(folder, error);
    fs::create_directories(folder);
  };
  clear();
  ASSERT_EQ(Run({"--sim", "backup", path}), kExitOk) << Err();
  const std::string good = Text(path);
  const auto write = [](const fs::path& file, const std::string& text) {
    return static_cast<bool>(std::ofstream(file, std::ios::binary) << text);
  };
  [[maybe_unused]] const auto link = [](const fs::path& to, const fs::path& at) {
    fs::create_symlink(to, at);
    return true;
  };
  [[maybe_unused]] const auto chmod = [](const fs::path& at, fs::perms perms) {
    fs::permissions(at, perms);
    return true;
  };
  const std::string long_name = "operator-backup-of-the-workshop-engraver" + kOdd + ".txt";
  const std::string shown_long_name = "operator-backup-of-the-workshop-engraver\\x" +
                                      std::string(kOdd == "\x1B" ? "1B" : "7F") + ".txt\"";
  const std::string deep = (folder / (std::string(120, 'd') + "/" + std::string(120, 'e') + "/" +
                                      std::string(100, 'f') + "/" + long_name))
                               .string();
#ifndef _WIN32
  std::thread writer;
#endif

  struct State {
    std::string what;
    std::string command;
    std::string operand;
    std::string option;
    std::function<bool()> plant;  // false when it cannot be made as this user
    int exit;
    std::string message;  // a part of what the command says
  };
  const std::vector<State> states{
      {"a file at the temporary name", "backup", path, "", [&] { return write(partial, "x\n"); },
       kExitOk, "are in \""},
      {"a folder at the target", "backup", path, "--force",
       [&] { return fs::create_directory(path); }, kExitRefused,
       "memory.txt\" is a folder; --force replaces only a file (an older backup)."},
      {"a folder as the backup", "restore", folder.string(), "", [] { return true; }, kExitRefused,
       "\" cannot be read. It is a folder, not a file."},
      {"no file at all", "diff", path, "", [] { return true; }, kExitRefused,
       "memory.txt\" cannot be read. There is no such file or folder."},
      {"a long name with a control character", "backup", (folder / long_name).string(), "",
       [] { return true; }, kExitOk, shown_long_name + ".\n"},
      {"an absurdly long name", "diff", deep, "", [] { return true; }, kExitRefused,
       std::string(10, 'd') + "..." + std::string(13, 'e') + "/" + std::string(100, 'f') + "/" +
           shown_long_name + " cannot be read."},
#ifndef _WIN32
      {"a symbolic link at the temporary name", "backup", path, "",
       [&] { return link(folder / "victim", partial); }, kExitOk, "are in \""},
      {"a dangling symbolic link at the temporary name", "backup", path, "",
       [&] { return link(folder / "elsewhere", partial); }, kExitOk, "are in \""},
      {"a symbolic link at the target", "backup", path, "--force",
       [&] { return link(folder / "victim", path); }, kExitOk, "are in \""},
      // As root a null device of the folder's own; as anyone else /dev/null
      // itself, which such a user cannot replace.
      {"a device at the target", "backup", kRoot ? path : "/dev/null", "--force",
       [&] { return !kRoot || ::mknod(path.c_str(), S_IFCHR | 0600, makedev(1, 3)) == 0; },
       kExitRefused, "\" is a device; --force replaces only a file"},
      {"a named pipe at the target", "backup", path, "--force",
       [&] { return ::mkfifo(path.c_str(), 0600) == 0; }, kExitRefused,
       "memory.txt\" is a named pipe; --force"},
      {"a named pipe at the report's name", "report", path, "--force",
       [&] { return ::mkfifo(path.c_str(), 0600) == 0; }, kExitRefused,
       "memory.txt\" is a named pipe; --force replaces only a file (an older report)."},
      {"a socket at the target", "backup", path, "--force",
       [&] {
         sockaddr_un address{};
         address.sun_family = AF_UNIX;
         const int listener = ::socket(AF_UNIX, SOCK_STREAM, 0);
         const bool bound =
             path.size() < sizeof address.sun_path && path.copy(address.sun_path, path.size()) &&
             ::bind(listener, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
         ::close(listener);
         return bound;
       },
       kExitRefused, "memory.txt\" is a socket; --force"},
      // A writer stands ready with a whole backup: a reader that opened the
      // pipe would get it and go on.
      {"a named pipe as the backup", "restore", path, "",
       [&] {
         ::mkfifo(path.c_str(), 0600);
         writer = std::thread([&] {
           const int pipe = ::open(path.c_str(), O_WRONLY);
           static_cast<void>(::write(pipe, good.data(), good.size()));
           ::close(pipe);
         });
         return true;
       },
       kExitRefused, "memory.txt\" cannot be read. It is a named pipe, not a file."},
      {"a device as the backup", "diff", "/dev/zero", "", [] { return true; }, kExitRefused,
       "\"/dev/zero\" cannot be read. It is a device, not a file."},
      {"symbolic links in a loop", "diff", (folder / "a").string(), "",
       [&] { return link(folder / "a", folder / "b") && link(folder / "b", folder / "a"); },
       kExitRefused, "a\" cannot be read. Its symbolic links go round in a loop"},
      {"an unreadable backup, as nobody", "restore", path, "",
       [&] { return !kRoot && write(path, good) && chmod(path, fs::perms::none); }, kExitRefused,
       "memory.txt\" cannot be read. Permission is denied."},
      {"a folder that takes no new file, as nobody", "backup",
       (folder / "shut" / "memory.txt").string(), "",
       [&] {
         return !kRoot && fs::create_directory(folder / "shut") &&
                chmod(folder / "shut", fs::perms::owner_read | fs::perms::owner_exec);
       },
       kExitRefused, "memory.txt\" cannot be written. Permission is denied."},
#endif
  };
  for (const State& state : states) {
    SCOPED_TRACE(state.what);
    clear();
    write(folder / "victim", "victim\n");
    if (!state.plant()) {
      std::cout << "  (" << state.what << ": not as this user)\n";
      continue;
    }
    std::map<std::string, std::string> before = Snapshot(folder);
    std::vector<std::string> args{"--sim", state.command, state.operand};
    if (!state.option.empty()) {
      args.push_back(state.option);
    }
    files().ClearLog();
    EXPECT_EQ(Run(args), state.exit) << Err();
#ifndef _WIN32
    if (writer.joinable()) {  // a reader lets the writer's open return
      const int reader = ::open(path.c_str(), O_RDONLY | O_NONBLOCK);
      writer.join();
      ::close(reader);
    }
#endif
    const std::string said = Out() + Err();
    EXPECT_NE(said.find(state.message), std::string::npos) << said;
    EXPECT_EQ(said.find(kOdd), std::string::npos);
    // Nothing planted is touched and nothing is left behind; a backup stands
    // at the target, or the engraver was never reached.
    std::map<std::string, std::string> after = Snapshot(folder);
    if (state.exit == kExitOk) {
      EXPECT_EQ(fs::symlink_status(state.operand).type(), fs::file_type::regular);
      EXPECT_TRUE(ParseBackup(Text(state.operand)).backup);
      before.erase(state.operand);
      after.erase(state.operand);
    } else {
      EXPECT_TRUE(files().Log().empty()) << "the engraver was reached";
    }
    EXPECT_EQ(after, before);
  }
  clear();
  fs::remove_all(folder);
}

}  // namespace
}  // namespace korimo::cli
