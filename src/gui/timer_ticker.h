// The platform timer behind TTimer, made by the backend: a Qt timer on a hidden object, or a
// Win32 timer (identifier 1) on a hidden window.
#pragma once

#include <functional>
#include <memory>

namespace kel {

class TimerTicker {
 public:
  virtual ~TimerTicker() = default;
  // Starts a fresh period (stopping a running one); false when the platform refuses the timer.
  virtual bool Start(unsigned milliseconds) = 0;
  virtual void Stop() noexcept = 0;
  virtual bool Running() const = 0;
};

// A stopped ticker that calls `tick` at each tick from the event loop. The tick runs through
// CallHandler, so an exception goes to the error display.
std::unique_ptr<TimerTicker> MakeTimerTicker(std::function<void()> tick);

}  // namespace kel
