// The periodic timer component.
#pragma once

#include <memory>

#include "gui/component.h"
#include "gui/timer_ticker.h"

namespace kel {

// Ticks every Interval milliseconds while Enabled, Interval > 0 and OnTimer is set. Ticks come
// from the event loop (Run or ProcessMessages), one at a time.
class TTimer : public TComponent {
 public:
  explicit TTimer(TComponent* owner);
  ~TTimer() override;

  unsigned Interval() const { return interval_; }
  // 0 stops the timer; a new positive value starts the period anew; the value it already has
  // changes nothing. Raises EOutOfResources("タイマーを取得できません") when the platform refuses
  // the timer (the timer is then stopped).
  void SetInterval(unsigned milliseconds);

  bool Enabled() const { return enabled_; }
  // Same rules as SetInterval.
  void SetEnabled(bool enabled);

  // Runs at each tick; an exception goes to the error display and the timer keeps running.
  // Without a handler the timer stands still. Setting it raises as SetInterval.
  const TNotifyEvent& OnTimer() const { return on_timer_; }
  void SetOnTimer(TNotifyEvent handler);

  bool Armed() const;

 private:
  void UpdateTimer();

  std::unique_ptr<TimerTicker> ticker_;
  TNotifyEvent on_timer_;
  unsigned interval_ = 1000;
  bool enabled_ = true;
};

}  // namespace kel
