// The configuration window's Set as state, and what its serial field holds.
//
// From its first to its last write a Set holds Read, Set and Clear ID, the
// model list, the serial field and the spin control, so that nothing it reads
// can change under it. Supervision keeps watching meanwhile: what it finds is
// kept here and applied when the Set ends, together with the Read that an
// arrival asks for.
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
  void Start(bool working) {
    running_ = true;
    working_at_start_ = working;
    working_ = working;
    read_due_ = false;
  }
  // Supervision during the Set: the engraver came (a Read is due at the end) or
  // went (no Read is due, whatever an arrival asked for).
  void Arrival() {
    working_ = true;
    read_due_ = true;
  }
  void Removal() {
    working_ = false;
    read_due_ = false;
  }
  // The Set's last write is done.
  Ending Finish() {
    running_ = false;
    const Ending ending{working_, working_ != working_at_start_, read_due_};
    read_due_ = false;
    return ending;
  }

 private:
  bool running_ = false;
  bool working_at_start_ = false;
  bool working_ = false;
  bool read_due_ = false;
};

// Whether the serial field holds a serial number that Set may store: one read
// from the engraver or entered (typed, pasted, stepped with the spin control).
// The placeholder, an emptied field and the spin control's starting value put
// back in their place hold none: storing 0 over the board's number would lose it.
class SerialNumberEntry {
 public:
  // Read put the board's number into the field.
  void Read() { field_shows_start_ = false; }
  // The user typed or pasted into the field.
  void Edited() { field_shows_start_ = false; }
  // The spin control's value changed: stepped, or set by a commit.
  void SpinChanged() {
    spin_given_ = true;
    field_shows_start_ = false;
  }
  // The field's text was committed into the spin control (`was_number`), or,
  // being no number, replaced by the spin control's value.
  void Committed(bool was_number) {
    if (was_number) {
      spin_given_ = spin_given_ || !field_shows_start_;
    } else {
      field_shows_start_ = !spin_given_;
    }
  }
  // Whether the field, whose text is a number or not, holds a given serial number.
  bool Given(bool text_is_number) const { return text_is_number && !field_shows_start_; }

 private:
  bool spin_given_ = false;         // the spin control holds a number read or entered
  bool field_shows_start_ = false;  // the field shows the spin's starting value, put back
};

}  // namespace korimo
