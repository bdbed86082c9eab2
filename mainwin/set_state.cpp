#include "mainwin/set_state.h"

namespace korimo {

void SetState::Start(bool working) {
  running_ = true;
  working_at_start_ = working;
  working_ = working;
  read_due_ = false;
}

void SetState::Arrival() {
  working_ = true;
  read_due_ = true;
}

void SetState::Removal() {
  working_ = false;
  read_due_ = false;
}

SetState::Ending SetState::Finish() {
  running_ = false;
  const Ending ending{working_, working_ != working_at_start_, read_due_};
  read_due_ = false;
  return ending;
}

}  // namespace korimo
