// The window's controls as the batch job sees them (job_host.h): the folder fields, the status
// panel, the timer and the application's message step.
#pragma once

#include "job/job_host.h"

namespace kel {

class TEdit;
class TPanel;
class TTimer;

class EditField : public FolderField {
 public:
  explicit EditField(const TEdit& edit) : edit_(edit) {}
  std::string Text() const override;

 private:
  const TEdit& edit_;
};

class PanelStatus : public StatusPanel {
 public:
  explicit PanelStatus(TPanel& panel) : panel_(panel) {}
  void SetText(const std::string& text) override;

 private:
  TPanel& panel_;
};

// A negative interval stops the timer, as 0 does.
class WindowTimer : public JobTimer {
 public:
  explicit WindowTimer(TTimer& timer) : timer_(timer) {}
  int Interval() const override;
  void SetInterval(int milliseconds) override;

 private:
  TTimer& timer_;
};

// Application.ProcessMessages.
class ApplicationPump : public MessagePump {
 public:
  void ProcessMessages() override;
};

}  // namespace kel
