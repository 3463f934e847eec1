#include "app/batch_options.h"

#ifndef KELVARIN_VERSION
#define KELVARIN_VERSION "1.0.0"
#endif

namespace kel {

BatchOptions ParseBatchOptions(const std::vector<std::string>& args) {
  BatchOptions options;
  std::vector<std::string> operands;
  bool options_ended = false;
  for (const std::string& arg : args) {
    if (options_ended || arg.size() < 2 || arg[0] != '-') {
      operands.push_back(arg);
    } else if (arg == "--") {
      options_ended = true;
    } else if (arg == "--help" || arg == "-h") {
      options.action = BatchOptions::Action::kHelp;
      return options;
    } else if (arg == "--version") {
      options.action = BatchOptions::Action::kVersion;
      return options;
    } else {
      options.error = "unknown option " + arg;
      return options;
    }
  }
  if (operands.size() != 2) {
    options.error = operands.size() < 2 ? "missing folder" : "too many arguments";
    return options;
  }
  options.action = BatchOptions::Action::kRun;
  options.source = operands[0];
  options.output = operands[1];
  return options;
}

std::string BatchUsage() { return "usage: kelvarin-batch SOURCE OUTPUT\n"; }

std::string BatchHelp() {
  return BatchUsage() +
         "\n"
         "Compresses every file directly inside the folder SOURCE into a Zip archive of its own\n"
         "in the folder OUTPUT (0000docx.zip, 0001___c.zip, ...) and writes OUTPUT/files.txt,\n"
         "which maps each archive name to the file's base name. Sub-folders are not entered.\n"
         "Both folders must exist. Progress goes to standard output, one line per archive.\n"
         "\n"
         "  -h, --help     show this text and exit\n"
         "      --version  show the version and exit\n"
         "\n"
         "Exit status: 0 done, 1 the job failed (message on standard error), 2 bad usage.\n";
}

std::string BatchVersion() { return "kelvarin-batch " KELVARIN_VERSION "\n"; }

}  // namespace kel
