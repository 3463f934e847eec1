// The timer's ticks from a Win32 timer (identifier 1) on a hidden message-only window of its own.
#include "gui/timer_ticker.h"

#include "gui/component.h"
#include "gui/win32/win32_window.h"

namespace kel {

namespace {

constexpr UINT_PTR kTimerId = 1;

class Win32Ticker : public TimerTicker {
 public:
  explicit Win32Ticker(std::function<void()> tick) : tick_(std::move(tick)) {}
  ~Win32Ticker() override {
    if (hwnd_) DestroyWindow(hwnd_);  // its timer goes with it
  }
  Win32Ticker(const Win32Ticker&) = delete;
  Win32Ticker& operator=(const Win32Ticker&) = delete;

  bool Start(unsigned milliseconds) override {
    Stop();
    // SetTimer would shorten a longer period to this one instead of refusing it.
    if (milliseconds > USER_TIMER_MAXIMUM) return false;
    // Made at the first start: the window classes exist once the toolkit is ready.
    if (!hwnd_) {
      hwnd_ = CreateWindowExW(0, win32::kTickerClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                              GetModuleHandleW(nullptr), nullptr);
      if (!hwnd_) return false;
      SetWindowLongPtrW(hwnd_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    }
    running_ = SetTimer(hwnd_, kTimerId, milliseconds, nullptr) != 0;
    return running_;
  }
  void Stop() noexcept override {
    if (running_) KillTimer(hwnd_, kTimerId);
    running_ = false;
    // A tick already queued is dropped: WM_TIMER checks running_.
  }
  bool Running() const override { return running_; }

  void Tick() {
    if (!running_) return;
    // The handler runs from a copy: it may destroy the timer and this ticker with it.
    CallHandler([this] {
      const std::function<void()> tick = tick_;
      tick();
    });
  }

 private:
  std::function<void()> tick_;
  HWND hwnd_ = nullptr;
  bool running_ = false;
};

}  // namespace

LRESULT CALLBACK win32::TickerWindowProc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam) {
  if (msg == WM_TIMER && wparam == kTimerId) {
    if (auto* ticker = reinterpret_cast<Win32Ticker*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA))) {
      ticker->Tick();
    }
    return 0;
  }
  return DefWindowProcW(hwnd, msg, wparam, lparam);
}

std::unique_ptr<TimerTicker> MakeTimerTicker(std::function<void()> tick) {
  return std::make_unique<Win32Ticker>(std::move(tick));
}

}  // namespace kel
