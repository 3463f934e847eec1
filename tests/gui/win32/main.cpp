// The toolkit's tests on Windows: the window classes registered once for the whole program.
#include <gtest/gtest.h>

#include "gui/application.h"

int main(int argc, char** argv) {
  kel::Application.Initialize(argc, argv);
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
