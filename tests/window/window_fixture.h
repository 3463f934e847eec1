// The main window as the start sequence makes it (Application.CreateForm runs FormCreate),
// destroyed again after each test, with the error boxes captured instead of shown.
#pragma once

#include <gtest/gtest.h>

#include "gui/application.h"
#include "gui/box_capture.h"
#include "window/main_form.h"
#include "window/window_driver.h"

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
  void ShowWindow() { ASSERT_TRUE(ShowAndActivate(*Form1)); }

  BoxCapture capture;
};

}  // namespace kel::test
