#include "window/start_button_hold.h"

#include "gui/form.h"
#include "gui/std_controls.h"

namespace kel {

void StartButtonHold::Hold() {
  if (held_) return;
  held_ = true;
  had_focus_ = form_.ActiveControl() == &button_;
  button_.SetEnabled(false);
  focus_moved_to_ = form_.ActiveControl();
}

void StartButtonHold::Release() {
  if (!held_) return;
  held_ = false;
  button_.SetEnabled(true);
  if (had_focus_ && form_.ActiveControl() == focus_moved_to_) button_.SetFocus();
}

}  // namespace kel
