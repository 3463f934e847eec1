// The command line of kelvarin-batch: SOURCE OUTPUT, --help, --version. Kept apart from the
// run so that options can be added without touching it.
#pragma once

#include <string>
#include <vector>

namespace kel {

struct BatchOptions {
  enum class Action { kRun, kHelp, kVersion, kUsageError };
  Action action = Action::kUsageError;
  std::string source;  // the folders exactly as given
  std::string output;
  std::string error;  // what was wrong, for kUsageError
};

// Parses the arguments after the program name. "--" ends the options; "-" alone is a folder
// name. --help or --version anywhere wins over operands.
BatchOptions ParseBatchOptions(const std::vector<std::string>& args);

// The one-line usage text (with its line end) and the full help text.
std::string BatchUsage();
std::string BatchHelp();
std::string BatchVersion();

}  // namespace kel
