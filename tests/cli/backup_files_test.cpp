// backup, restore and diff among hostile file-system states: what another
// user may have placed at the names the tool writes and reads. Run as root and
// again as nobody (the cases about access rights need a user a file mode stops).
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <thread>
#include <tuple>

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

class BackupFilesTest : public CliTest {
 protected:
  BackupFilesTest()
      : folder_(fs::temp_directory_path() /
                ("korimo-files-" +
                 std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" +
                 std::to_string(Uid()))),
        path_((folder_ / "memory.txt").string()),
        victim_(folder_ / "victim.txt") {}
  ~BackupFilesTest() override { Clear(); }

  static long Uid() {
#ifdef _WIN32
    return 0;
#else
    return static_cast<long>(::geteuid());
#endif
  }
  void Clear() {
    std::error_code error;
    fs::permissions(folder_ / "shut", fs::perms::owner_all, error);
    fs::remove_all(folder_, error);
  }
  static std::string Text(const fs::path& path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), {}};
  }
  static void Write(const fs::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
  }
  // The target holds a backup, and only the names the case planted are beside it.
  void ExpectBackupAmong(std::size_t names) {
    EXPECT_EQ(fs::symlink_status(path_).type(), fs::file_type::regular);
    EXPECT_TRUE(ParseBackup(Text(path_)).backup);
    EXPECT_EQ(std::distance(fs::directory_iterator(folder_), fs::directory_iterator()),
              static_cast<std::ptrdiff_t>(names));
    EXPECT_EQ(Text(victim_), "victim\n");
  }

  fs::path folder_;
  std::string path_;
  fs::path victim_;
};

TEST_F(BackupFilesTest, PlantedNamesAreNeverWrittenThroughAndOnlyFilesAreReadOrReplaced) {
  Clear();
  fs::create_directories(folder_);
  ASSERT_EQ(Run({"--sim", "backup", path_}), kExitOk) << Err();
  const std::string good = Text(path_);
  const std::string partial = path_ + ".partial";
  [[maybe_unused]] const bool root = Uid() == 0;
#ifndef _WIN32
  std::thread writer;
#endif

  struct State {
    std::string what;
    std::function<std::string()> plant;  // the operand; empty when the state cannot be made here
    std::vector<std::string> command;
    int exit;
    std::string message;  // a part of stderr, or of stdout when the command succeeds
    std::function<void()> check;
  };
  const std::vector<State> states{
      {"a file at the temporary name",
       [&] {
         Write(partial, "planted\n");
         return path_;
       },
       {"backup"},
       kExitOk,
       "are in \"",
       [&] {
         EXPECT_EQ(Text(partial), "planted\n");
         ExpectBackupAmong(3);
       }},
      {"a folder at the target",
       [&] {
         fs::create_directory(path_);
         return path_;
       },
       {"backup", "--force"},
       kExitRefused,
       "memory.txt\" is a folder; --force replaces only a file (an older backup).",
       [&] { EXPECT_TRUE(fs::is_directory(path_)); }},
      {"a folder as the backup",
       [&] { return folder_.string(); },
       {"restore"},
       kExitRefused,
       "\" cannot be read. It is a folder, not a file.",
       [] {}},
      {"no file at all",
       [&] { return path_; },
       {"diff"},
       kExitRefused,
       "memory.txt\" cannot be read. There is no such file or folder.",
       [] {}},
#ifndef _WIN32
      {"a symbolic link at the temporary name",
       [&] {
         fs::create_symlink(victim_, partial);
         return path_;
       },
       {"backup"},
       kExitOk,
       "are in \"",
       [&] {
         std::error_code error;
         EXPECT_EQ(fs::read_symlink(partial, error), victim_);
         ExpectBackupAmong(3);
       }},
      {"a dangling symbolic link at the temporary name",
       [&] {
         fs::create_symlink(folder_ / "elsewhere.txt", partial);
         return path_;
       },
       {"backup"},
       kExitOk,
       "are in \"",
       [&] {
         EXPECT_FALSE(fs::exists(folder_ / "elsewhere.txt"));
         EXPECT_TRUE(fs::is_symlink(partial));
         ExpectBackupAmong(3);
       }},
      {"a symbolic link at the target",
       [&] {
         fs::create_symlink(victim_, path_);
         return path_;
       },
       {"backup", "--force"},
       kExitOk,
       "are in \"",
       [&] { ExpectBackupAmong(2); }},
      // As root a device of the folder's own (a null device); as anyone else
      // /dev/null itself, which such a user cannot replace.
      {"a device at the target",
       [&] {
         if (!root) {
           return std::string("/dev/null");
         }
         return ::mknod(path_.c_str(), S_IFCHR | 0600, makedev(1, 3)) == 0 ? path_ : "";
       },
       {"backup", "--force"},
       kExitRefused,
       "\" is a device; --force replaces only a file",
       [&] {
         EXPECT_EQ(fs::symlink_status(root ? path_ : "/dev/null").type(), fs::file_type::character);
       }},
      {"a named pipe at the target",
       [&] {
         ::mkfifo(path_.c_str(), 0600);
         return path_;
       },
       {"backup", "--force"},
       kExitRefused,
       "memory.txt\" is a named pipe; --force",
       [&] { EXPECT_EQ(fs::symlink_status(path_).type(), fs::file_type::fifo); }},
      {"a socket at the target",
       [&] {
         sockaddr_un address{};
         address.sun_family = AF_UNIX;
         if (path_.size() >= sizeof address.sun_path) {
           return std::string();
         }
         path_.copy(address.sun_path, path_.size());
         const int listener = ::socket(AF_UNIX, SOCK_STREAM, 0);
         const bool bound =
             ::bind(listener, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
         ::close(listener);
         return bound ? path_ : "";
       },
       {"backup", "--force"},
       kExitRefused,
       "memory.txt\" is a socket; --force",
       [&] { EXPECT_EQ(fs::symlink_status(path_).type(), fs::file_type::socket); }},
      // A writer stands ready with a whole backup: a reader that opened the
      // pipe would get it and go on instead of refusing.
      {"a named pipe as the backup",
       [&] {
         ::mkfifo(path_.c_str(), 0600);
         writer = std::thread([&] {
           const int pipe = ::open(path_.c_str(), O_WRONLY);
           static_cast<void>(::write(pipe, good.data(), good.size()));
           ::close(pipe);
         });
         return path_;
       },
       {"restore"},
       kExitRefused,
       "memory.txt\" cannot be read. It is a named pipe, not a file.",
       [&] {
         const int reader = ::open(path_.c_str(), O_RDONLY | O_NONBLOCK);
         writer.join();
         ::close(reader);
       }},
      {"a device as the backup",
       [] { return std::string("/dev/zero"); },
       {"diff"},
       kExitRefused,
       "\"/dev/zero\" cannot be read. It is a device, not a file.",
       [] {}},
      {"symbolic links in a loop",
       [&] {
         fs::create_symlink(folder_ / "a", folder_ / "b");
         fs::create_symlink(folder_ / "b", folder_ / "a");
         return (folder_ / "a").string();
       },
       {"diff"},
       kExitRefused,
       "a\" cannot be read. Its symbolic links go round in a loop",
       [] {}},
      {"an unreadable backup, as nobody",
       [&] {
         Write(path_, good);
         fs::permissions(path_, fs::perms::none);
         return root ? "" : path_;
       },
       {"restore"},
       kExitRefused,
       "memory.txt\" cannot be read. Permission is denied.",
       [] {}},
      {"a folder that takes no new file, as nobody",
       [&] {
         fs::create_directory(folder_ / "shut");
         fs::permissions(folder_ / "shut", fs::perms::owner_read | fs::perms::owner_exec);
         return root ? "" : (folder_ / "shut" / "memory.txt").string();
       },
       {"backup"},
       kExitRefused,
       "memory.txt\" cannot be written. Permission is denied.",
       [&] { EXPECT_TRUE(fs::is_empty(folder_ / "shut")); }},
#endif
  };
  for (const State& state : states) {
    SCOPED_TRACE(state.what);
    Clear();
    fs::create_directories(folder_);
    Write(victim_, "victim\n");
    const std::string operand = state.plant();
    if (operand.empty()) {
      std::cout << "  (" << state.what << ": not as this user)\n";
      continue;
    }
    std::vector<std::string> args{"--sim", state.command[0], operand};
    args.insert(args.end(), state.command.begin() + 1, state.command.end());
    files().ClearLog();
    EXPECT_EQ(Run(args), state.exit) << Err();
    const std::string said = state.exit == kExitOk ? Out() : Err();
    EXPECT_NE(said.find(state.message), std::string::npos) << said;
    if (state.exit != kExitOk) {
      EXPECT_TRUE(files().Log().empty()) << "the engraver was reached";
    }
    state.check();
  }
}

// Names in messages: whole and escaped, success lines included; only an absurd
// one loses its middle, never its end.
TEST_F(BackupFilesTest, MessagesShowTheWholeEscapedName) {
#ifdef _WIN32
  const std::string odd = "\x7F";  // a control character no Windows name may hold
#else
  const std::string odd = "\x1B";
#endif
  Clear();
  fs::create_directories(folder_);
  const std::string name = "operator-backup-of-the-workshop-engraver";
  const std::string kept = (folder_ / (name + odd + ".txt")).string();
  const std::string deep = (folder_ / (std::string(120, 'd') + "/" + std::string(120, 'e') + "/" +
                                       std::string(100, 'f') + "/operator-2" + odd + ".txt"))
                               .string();
  const std::string shown = "\\x" + std::string(odd == "\x1B" ? "1B" : "7F") + ".txt\"";
  const std::vector<std::tuple<std::string, std::string, std::string>> cases{
      {"backup", kept, name + shown + ".\n"},
      {"diff", kept,
       name + shown + " is refused: line 2: the format line ends in a trailing blank."},
      {"diff", deep,
       std::string(10, 'd') + "..." + std::string(43, 'e') + "/" + std::string(100, 'f') +
           "/operator-2" + shown + " cannot be read."},
  };
  for (const auto& [command, path, message] : cases) {
    if (command == "diff") {
      Write(kept, "# Korimo parameter memory backup\nformat 1 \n");
    }
    Run({"--sim", command, path});
    const std::string said = Out() + Err();
    EXPECT_NE(said.find(message), std::string::npos) << said;
    EXPECT_EQ(said.find(odd), std::string::npos);
  }
}

}  // namespace
}  // namespace korimo::cli
