#include "window/window_host.h"

#include "gui/application.h"
#include "gui/std_controls.h"
#include "gui/timer.h"

namespace kel {

std::string EditField::Text() const { return edit_.Text(); }

void PanelStatus::SetText(const std::string& text) { panel_.SetCaption(text); }

int WindowTimer::Interval() const { return static_cast<int>(timer_.Interval()); }

void WindowTimer::SetInterval(int milliseconds) {
  timer_.SetInterval(milliseconds > 0 ? static_cast<unsigned>(milliseconds) : 0u);
}

void ApplicationPump::ProcessMessages() { Application.ProcessMessages(); }

}  // namespace kel
