// Captures the message boxes a test provokes instead of showing them.
#pragma once

#include <string>
#include <vector>

#include "gui/message_box.h"

namespace kel::test {

class BoxCapture {
 public:
  BoxCapture()
      : hook_([this](const MessageBoxRequest& r) {
          boxes.push_back(r);
          return kIdOk;
        }) {}

  std::vector<MessageBoxRequest> boxes;

 private:
  ScopedMessageBoxHook hook_;
};

}  // namespace kel::test
