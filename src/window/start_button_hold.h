// The start button while a run is under way: disabled from the start action that armed the
// timer until the tick that ran the pass has returned, so that a second start can neither
// collide with the run's lock on its output folder nor leave the pass waiting behind the job's
// modal refusal.
#pragma once

namespace kel {

class TButton;
class TForm;
class TWinControl;

class StartButtonHold {
 public:
  // `form` and `button` (a control on it) must outlive every call; the destructor touches
  // neither, so the hold may go after them.
  StartButtonHold(TForm& form, TButton& button) : form_(form), button_(button) {}
  StartButtonHold(const StartButtonHold&) = delete;
  StartButtonHold& operator=(const StartButtonHold&) = delete;

  // Disables the button, noting whether it had the focus and where disabling moved the focus.
  void Hold();
  // Enables the button again. When it had the focus and the focus is still where disabling
  // moved it, the button gets it back (a user who clicked elsewhere meanwhile keeps that).
  void Release();
  bool Held() const { return held_; }

 private:
  TForm& form_;
  TButton& button_;
  bool held_ = false;
  bool had_focus_ = false;
  TWinControl* focus_moved_to_ = nullptr;
};

}  // namespace kel
