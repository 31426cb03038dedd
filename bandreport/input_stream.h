// Opening a file for reading where a signal may arrive: bandreport forwards signals to the programs it runs.
#pragma once

#include <cerrno>
#include <fstream>
#include <string>

namespace bandreport {

// Opens `path` for reading in binary mode, trying again when a signal interrupted the open; errno tells why a
// failed open failed.
inline bool open_for_reading(std::ifstream& file, const std::string& path) {
  do {
    errno = 0;
    file.clear();
    file.open(path, std::ios::binary);
  } while (!file.is_open() && errno == EINTR);
  return file.is_open();
}

}  // namespace bandreport
