#include "gui/message_box.h"

namespace kel {

namespace {

// The test seam; empty while boxes are really shown.
MessageBoxHook& Hook() {
  static MessageBoxHook hook;
  return hook;
}

}  // namespace

int ShowMessageBox(const MessageBoxRequest& request) {
  if (Hook()) return Hook()(request);
  return ShowToolkitMessageBox(request);
}

ScopedMessageBoxHook::ScopedMessageBoxHook(MessageBoxHook hook) : previous_(std::move(Hook())) {
  Hook() = std::move(hook);
}

ScopedMessageBoxHook::~ScopedMessageBoxHook() { Hook() = std::move(previous_); }

}  // namespace kel
