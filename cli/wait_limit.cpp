#include "cli/wait_limit.h"

namespace korimo::cli {

void WaitLimit::DoEvents() {
  if (!polled_busy_) {
    wait_start_ = now_();
  }
  polled_busy_ = false;
}

void WaitLimit::Pause(std::chrono::milliseconds pause) {
  if (sleep_ != nullptr) {
    sleep_(pause);
  }
}

bool WaitLimit::GiveUp() {
  polled_busy_ = true;
  return now_() - wait_start_ > limit_;
}

}  // namespace korimo::cli
