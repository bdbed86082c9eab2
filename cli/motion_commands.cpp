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
  const std::uint8_t bits = kt90->GetStatusByte(status::kInputs);
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
  const std::int32_t x = kt90->GetPositionX();
  const std::int32_t y = kt90->GetPositionY();
  const std::int32_t z = kt90->GetPositionZ();
  session.Out() << "X " << PositionText(x) << "\nY " << PositionText(y) << "\nZ " << PositionText(z)
                << '\n';
  return kExitOk;
}

}  // namespace korimo::cli
