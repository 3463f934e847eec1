// kelvarin-batch SOURCE OUTPUT: the desktop program's job without a window.
#include <clocale>
#include <iostream>
#include <string>
#include <vector>

#include "app/batch_options.h"
#include "app/batch_run.h"

int main(int argc, char** argv) {
  std::setlocale(LC_ALL, "");
  const kel::BatchOptions options =
      kel::ParseBatchOptions(std::vector<std::string>(argv + 1, argv + argc));
  switch (options.action) {
    case kel::BatchOptions::Action::kHelp:
      std::cout << kel::BatchHelp();
      return 0;
    case kel::BatchOptions::Action::kVersion:
      std::cout << kel::BatchVersion();
      return 0;
    case kel::BatchOptions::Action::kUsageError:
      std::cerr << "kelvarin-batch: " << options.error << '\n' << kel::BatchUsage();
      return 2;
    case kel::BatchOptions::Action::kRun:
      break;
  }
  return kel::RunBatch(options.source, options.output, std::cout, std::cerr);
}
