// home, inputs and positions: the diagnostic windows' views on a terminal.
#include <array>
#include <ostream>
#include <string_view>

#include "cli/commands.h"
#include "cli/entries.h"

namespace korimo::cli {
namespace {

constexpr std::size_t kNameWidth = 9;

}  // namespace

int RunHome(Session& session, std::span<const std::string>) {
  modKT90* kt90 = session.Connect();
  if (kt90 == nullptr) {
    return session.ConnectFailure();
  }
  kt90->HomeXY();
  session.Out() << "The home command was sent.\n";
  return kExitOk;
}

int RunInputs(Session& session, std::span<const std::string>) {
  modKT90* kt90 = session.Connect();
  if (kt90 == nullptr) {
    return session.ConnectFailure();
  }
  const std::optional<std::uint8_t> answer = kt90->GetStatusByte(status::kInputs);
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

int RunPositions(Session& session, std::span<const std::string>) {
  modKT90* kt90 = session.Connect();
  if (kt90 == nullptr) {
    return session.ConnectFailure();
  }
  const std::optional<std::int32_t> x = kt90->GetPositionX();
  if (!x) {
    return session.NoAnswer("the X position", "nothing is shown");
  }
  const std::optional<std::int32_t> y = kt90->GetPositionY();
  if (!y) {
    return session.NoAnswer("the Y position", "nothing is shown");
  }
  const std::optional<std::int32_t> z = kt90->GetPositionZ();
  if (!z) {
    return session.NoAnswer("the Z position", "nothing is shown");
  }
  session.Out() << "X " << PositionText(*x) << "\nY " << PositionText(*y) << "\nZ "
                << PositionText(*z) << '\n';
  return kExitOk;
}

}  // namespace korimo::cli
