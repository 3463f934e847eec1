// The main window as the start sequence makes it (Application.CreateForm runs FormCreate),
// destroyed again after each test, with the error boxes captured instead of shown; and a wait
// that keeps the event loop turning.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QTest>
#include <chrono>
#include <functional>

#include "window/main_form.h"
#include "gui/application.h"
#include "gui/box_capture.h"

namespace kel::test {

class WindowTest : public testing::Test {
 protected:
  void SetUp() override {
    Application.Title = "Kelvarin";
    Application.CreateForm(Form1);
    ASSERT_NE(Form1, nullptr);
  }
  void TearDown() override { Application.Shutdown(); }

  // Shows the window and waits until it is the active window.
  void ShowWindow() {
    Form1->Show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(Form1->Handle()));
  }

  BoxCapture capture;
};

// Processes events until `done` holds or `timeout_ms` passed; returns whether it holds.
inline bool WaitUntil(const std::function<bool()>& done, int timeout_ms = 30000) {
  QElapsedTimer clock;
  clock.start();
  while (!done()) {
    if (clock.elapsed() > timeout_ms) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    QTest::qSleep(1);
  }
  return true;
}

}  // namespace kel::test
