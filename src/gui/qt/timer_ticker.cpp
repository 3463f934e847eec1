// The timer's ticks from a Qt timer on a hidden object.
#include "gui/timer_ticker.h"

#include <QObject>
#include <QTimerEvent>
#include <limits>

#include "gui/component.h"

namespace kel {

namespace {

class QtTicker : public QObject, public TimerTicker {
 public:
  explicit QtTicker(std::function<void()> tick) : tick_(std::move(tick)) {}
  ~QtTicker() override { Stop(); }

  bool Start(unsigned milliseconds) override {
    Stop();
    // Qt takes the period as int; a longer one is refused like any other refusal.
    if (milliseconds > static_cast<unsigned>(std::numeric_limits<int>::max())) return false;
    id_ = startTimer(static_cast<int>(milliseconds), Qt::PreciseTimer);
    return id_ != 0;
  }
  void Stop() noexcept override {
    if (id_ != 0) killTimer(id_);
    id_ = 0;
  }
  bool Running() const override { return id_ != 0; }

 protected:
  void timerEvent(QTimerEvent* event) override {
    if (event->timerId() == id_) CallHandler(tick_);
  }

 private:
  std::function<void()> tick_;
  int id_ = 0;
};

}  // namespace

std::unique_ptr<TimerTicker> MakeTimerTicker(std::function<void()> tick) {
  return std::make_unique<QtTicker>(std::move(tick));
}

}  // namespace kel
