// What the batch job needs of its host: the window binds these to its controls, the batch
// front end to standard output. Every call happens on the one thread that runs the job.
#pragma once

#include <string>

namespace kel {

class TSearchFile;

// A folder field (Edit1, Edit2): its current text, read when the job needs it.
class FolderField {
 public:
  virtual ~FolderField() = default;
  virtual std::string Text() const = 0;
};

// The status panel (Panel1): its text replaces the line shown.
class StatusPanel {
 public:
  virtual ~StatusPanel() = default;
  virtual void SetText(const std::string& text) = 0;
};

// The timer (Timer1) whose tick runs Timer1Timer. Interval 0 stops it, a positive interval
// arms it at that period in milliseconds; assigning the interval it already has changes
// nothing. May raise EOutOfResources when the platform refuses a timer.
class JobTimer {
 public:
  virtual ~JobTimer() = default;
  virtual int Interval() const = 0;
  virtual void SetInterval(int milliseconds) = 0;
};

// The message processing step: dispatches whatever input is waiting (which may call the job's
// handlers again, nested) and returns without waiting for more.
class MessagePump {
 public:
  virtual ~MessagePump() = default;
  virtual void ProcessMessages() = 0;
};

// The host's controls as the job sees them. The referenced objects are owned by the host and
// must outlive the job that holds them. SearchFile1's OnFind must call the job's
// SearchFile1Find.
struct JobControls {
  FolderField& Edit1;  // source folder
  FolderField& Edit2;  // output folder
  StatusPanel& Panel1;
  JobTimer& Timer1;
  MessagePump& Application;
  TSearchFile& SearchFile1;
};

}  // namespace kel
