#include "mainwin/set_state.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace korimo {
namespace {

// What supervision sees during a Set, and how the Set then ends.
struct SetStateCase {
  std::string name;
  bool working_at_start;
  std::string events;  // 'a' an arrival, 'r' a removal, in order
  bool working;
  bool switched;
  bool read;
};

TEST(SetState, EndsWithWhatSupervisionFoundMeanwhile) {
  const std::vector<SetStateCase> cases{
      {"nothing happens", true, "", true, false, false},
      {"started searching", false, "", false, false, false},
      {"engraver lost", true, "r", false, true, false},
      {"engraver came", false, "a", true, true, true},
      {"lost and back", true, "ra", true, false, true},
      {"back and lost again", false, "ar", false, false, false},
      {"a removal cancels an earlier arrival's Read", true, "rar", false, true, false},
  };
  for (const SetStateCase& c : cases) {
    SCOPED_TRACE(c.name);
    SetState state;
    state.Start(c.working_at_start);
    EXPECT_TRUE(state.Running());
    for (const char event : c.events) {
      event == 'a' ? state.Arrival() : state.Removal();
      EXPECT_EQ(state.Working(), event == 'a');
    }
    const SetState::Ending ending = state.Finish();
    EXPECT_FALSE(state.Running());
    EXPECT_EQ(ending.working, c.working);
    EXPECT_EQ(ending.switched, c.switched);
    EXPECT_EQ(ending.read, c.read);
  }
}

}  // namespace
}  // namespace korimo
