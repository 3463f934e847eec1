// The window tests: the toolkit made ready once, then every test.
#include <gtest/gtest.h>

#include "window/window_driver.h"

int main(int argc, char** argv) {
  const kel::test::ToolkitSession toolkit(argc, argv);
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
