// korimo-cli's manual page against its command table: the COMMANDS section
// names exactly the commands' own options (and may name common ones), OPTIONS exactly the common
// ones, and EXIT STATUS exactly the exit codes.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <regex>
#include <set>
#include <string>

#include "cli/command_table.h"

namespace korimo::cli {
namespace {

// The section `title` of the page, up to the next one.
std::string Section(const std::string& page, const std::string& title) {
  const std::size_t start = page.find("\n.SH " + title + "\n");
  return start == std::string::npos ? ""
                                    : page.substr(start, page.find("\n.SH ", start + 1) - start);
}

// The words of `text` that `pattern`'s first group matches, hyphens unescaped.
std::set<std::string> Matches(const std::string& text, const std::regex& pattern) {
  std::set<std::string> found;
  for (auto match = std::sregex_iterator(text.begin(), text.end(), pattern);
       match != std::sregex_iterator(); ++match) {
    found.insert(std::regex_replace((*match)[1].str(), std::regex(R"(\\-)"), "-"));
  }
  return found;
}

TEST(ManualPage, NamesTheTablesOptionsAndExitCodes) {
  std::ifstream file(KORIMO_CLI_MAN_PAGE);
  ASSERT_TRUE(file) << KORIMO_CLI_MAN_PAGE;
  const std::string page{std::istreambuf_iterator<char>(file), {}};
  std::set<std::string> own;
  std::set<std::string> common;
  std::set<std::string> codes;
  for (const Command& command : Commands()) {
    for (const Option& option : command.options) {
      own.emplace(option.name);
    }
  }
  for (const Option& option : CommonOptions()) {
    common.emplace(option.name);
  }
  for (const ExitCodeMeaning& exit : ExitCodes()) {
    codes.insert(std::to_string(exit.code));
  }
  const std::regex option(R"((\\-\\-[a-z]+(\\-[a-z]+)*))");
  std::set<std::string> in_commands = Matches(Section(page, "COMMANDS"), option);
  std::erase_if(in_commands, [&](const std::string& name) { return common.contains(name); });
  EXPECT_EQ(in_commands, own);
  EXPECT_EQ(Matches(Section(page, "OPTIONS"), option), common);
  EXPECT_EQ(Matches(Section(page, "EXIT STATUS"), std::regex(R"(\n\.TP\n\.B (\d+)\n)")), codes);
}

}  // namespace
}  // namespace korimo::cli
