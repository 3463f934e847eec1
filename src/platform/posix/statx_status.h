// The POSIX backend's one translation of a statx record into a FileStatus.
#pragma once

#include <sys/stat.h>

#include <string>

#include "platform/file_info.h"

namespace kel {

// `name` decides the hidden flag (a leading ".").
FileStatus StatusFromStatx(const struct statx& stx, const std::string& name);

}  // namespace kel
