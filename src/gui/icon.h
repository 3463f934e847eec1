// An icon as the program carries it: PNG bytes for a toolkit that draws its own icons (Qt), and
// the name of the icon resource compiled into the program for one that loads icons from there
// (Windows, where the resource holds every size the shell asks for).
#pragma once

#include <string>

namespace kel {

struct TIcon {
  std::string Png;
  std::string ResourceName = "MAINICON";
};

}  // namespace kel
