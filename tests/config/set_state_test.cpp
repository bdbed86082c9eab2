#include "config/set_state.h"

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

// A Read asked for by one Set is not run again at the end of the next.
TEST(SetState, EachSetStartsAfresh) {
  SetState state;
  state.Start(false);
  state.Arrival();
  EXPECT_TRUE(state.Finish().read);
  state.Start(true);
  const SetState::Ending ending = state.Finish();
  EXPECT_FALSE(ending.read);
  EXPECT_FALSE(ending.switched);
}

// What happened to the serial field, in order: 'r' Read, 'e' typed into, 's'
// spin stepped, 'n' a number committed, 'x' no number committed (the field is
// then given the spin's value, a number).
TEST(SerialNumberEntry, OnlyANumberReadOrEnteredIsGiven) {
  struct Case {
    const char* events;
    bool given;
  };
  const std::vector<Case> cases{
      {"x", false},   // the placeholder replaced by the starting value
      {"xn", false},  // ... and committed again on leaving the field once more
      {"xe", true},   {"xs", true},
      {"rn", true},   {"rnx", true},  // an emptied field given back the number read
      {"xnen", true},                 // 0 typed on purpose
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.events);
    SerialNumberEntry entry;
    for (const char* event = c.events; *event != '\0'; ++event) {
      switch (*event) {
        case 'r':
          entry.Read();
          break;
        case 'e':
          entry.Edited();
          break;
        case 's':
          entry.SpinChanged();
          break;
        default:
          entry.Committed(*event == 'n');
      }
    }
    EXPECT_EQ(entry.Given(true), c.given);
    EXPECT_FALSE(entry.Given(false));  // the placeholder or an emptied field
  }
}

}  // namespace
}  // namespace korimo
