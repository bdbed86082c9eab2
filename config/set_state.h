// The configuration window's Set as state. From its first to its last write a
// Set holds Read, Set and Clear ID, the model list, the serial field and the
// spin control, so that nothing it reads can change under it. Supervision keeps
// watching meanwhile: what it finds is kept here and applied when the Set ends,
// together with the Read that an arrival asks for.
#pragma once

namespace korimo {

class SetState {
 public:
  struct Ending {
    bool working;  // the engraver is there: Read, Set and Clear ID are enabled again
    // Supervision switched the window during the Set: the held controls that it
    // switches take its state rather than the one they had when the Set started.
    bool switched;
    bool read;  // an arrival during the Set asked for a Read
  };

  bool Running() const { return running_; }
  // Whether the engraver is there, as supervision last found it during the Set.
  bool Working() const { return working_; }

  // A Set starts, with the window working (engraver there) or searching.
  void Start(bool working);
  // Supervision during the Set: the engraver came (a Read is due at the end) or
  // went (no Read is due, whatever an arrival asked for).
  void Arrival();
  void Removal();
  // The Set's last write is done.
  Ending Finish();

 private:
  bool running_ = false;
  bool working_at_start_ = false;
  bool working_ = false;
  bool read_due_ = false;
};

}  // namespace korimo
