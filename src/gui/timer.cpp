#include "gui/timer.h"

#include "platform/exceptions.h"

namespace kel {

TTimer::TTimer(TComponent* owner)
    : TComponent(owner), ticker_(MakeTimerTicker([this] {
        if (on_timer_) on_timer_(this);
      })) {}

TTimer::~TTimer() = default;

void TTimer::SetInterval(unsigned milliseconds) {
  if (milliseconds == interval_) return;
  interval_ = milliseconds;
  UpdateTimer();
}

void TTimer::SetEnabled(bool enabled) {
  if (enabled == enabled_) return;
  enabled_ = enabled;
  UpdateTimer();
}

void TTimer::SetOnTimer(TNotifyEvent handler) {
  on_timer_ = std::move(handler);
  UpdateTimer();
}

bool TTimer::Armed() const { return ticker_->Running(); }

void TTimer::UpdateTimer() {
  ticker_->Stop();
  if (interval_ != 0 && enabled_ && on_timer_) {
    if (!ticker_->Start(interval_)) throw EOutOfResources("タイマーを取得できません");
  }
}

}  // namespace kel
