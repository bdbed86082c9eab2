// home, inputs and positions: the diagnostic windows' views on a terminal.
#include <ostream>
#include <string>
#include <string_view>
#include <utility>

#include "cli/commands.h"
#include "cli/entries.h"

namespace korimo::cli {
namespace {

constexpr std::size_t kNameWidth = 9;

}  // namespace

int RunHome(Session& session, modKT90& kt90) {
  kt90.HomeXY();
  session.Out() << "The home command was sent.\n";
  return kExitOk;
}

int RunInputs(Session& session, modKT90& kt90) {
  const std::optional<std::uint8_t> answer = kt90.GetStatusByte(status::kInputs);
  if (!answer) {
    return session.NoAnswer("the inputs", "nothing is shown");
  }
  const std::uint8_t bits = *answer;
  for (const inputs::NamedInput& input : inputs::kNamed) {
    session.Out() << input.name << std::string(kNameWidth - input.name.size(), ' ')
                  << ((bits & input.bit) != 0 ? "on" : "off") << '\n';
  }
  return kExitOk;
}

int RunPositions(Session& session, modKT90& kt90) {
  std::string shown;
  for (const auto& [axis, at] :
       {std::pair{"X", status::kPositionX}, std::pair{"Y", status::kPositionY},
        std::pair{"Z", status::kPositionZ}}) {
    const std::optional<std::int32_t> position = kt90.GetStatusWord(at);
    if (!position) {
      return session.NoAnswer("the " + std::string(axis) + " position", "nothing is shown");
    }
    shown += std::string(axis) + " " + PositionText(*position) + '\n';
  }
  session.Out() << shown;
  return kExitOk;
}

}  // namespace korimo::cli
