#include "gui/timer.h"

#include <QObject>
#include <QTimerEvent>
#include <limits>

#include "platform/exceptions.h"

namespace kel {

// The hidden object the platform timer is bound to.
class TTimer::Ticker : public QObject {
 public:
  explicit Ticker(TTimer* timer) : timer_(timer) {}
  ~Ticker() override { Stop(); }

  // Starts a fresh period; false when the platform refuses the timer.
  bool Start(unsigned milliseconds) {
    Stop();
    // Qt takes the period as int; a longer one is refused like any other refusal.
    if (milliseconds > static_cast<unsigned>(std::numeric_limits<int>::max())) return false;
    id_ = startTimer(static_cast<int>(milliseconds), Qt::PreciseTimer);
    return id_ != 0;
  }
  void Stop() {
    if (id_ != 0) killTimer(id_);
    id_ = 0;
  }
  bool Running() const { return id_ != 0; }

 protected:
  void timerEvent(QTimerEvent* event) override {
    if (event->timerId() != id_) return;
    CallHandler([this] {
      if (timer_->on_timer_) timer_->on_timer_(timer_);
    });
  }

 private:
  TTimer* timer_;
  int id_ = 0;
};

TTimer::TTimer(TComponent* owner) : TComponent(owner), ticker_(std::make_unique<Ticker>(this)) {}

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
