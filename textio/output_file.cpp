// Result files that are replaced whole or not at all.
#include "textio/output_file.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <unistd.h>

namespace textio {

namespace {

constexpr std::size_t flush_threshold = 1 << 20;

// Hands the buffer to the system, keeping the first error.
void drain(OutputFile& file) {
  std::size_t done = 0;
  while (file.error == 0 && done < file.buffer.size()) {
    ssize_t n = ::write(file.fd, file.buffer.data() + done, file.buffer.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      file.error = errno;
      break;
    }
    done += static_cast<std::size_t>(n);
  }
  file.buffer.clear();
}

void discard(OutputFile& file) {
  if (file.fd >= 0) ::close(file.fd);
  file.fd = -1;
  if (!file.temp_path.empty()) ::unlink(file.temp_path.c_str());
  file.temp_path.clear();
}

// Removes what runs killed before their commit left beside the target: files
// named ".<base>.tmp<pid>-<n>" whose process no longer exists.
void remove_stale_temporaries(const std::string& dir, const std::string& base) {
  const std::string prefix = "." + base + ".tmp";
  std::error_code failed;
  std::filesystem::directory_iterator entries(dir.empty() ? "." : dir, failed);
  if (failed) return;
  for (const auto& entry : entries) {
    const std::string name = entry.path().filename().string();
    if (name.compare(0, prefix.size(), prefix) != 0) continue;
    char* end = nullptr;
    const long pid = std::strtol(name.c_str() + prefix.size(), &end, 10);
    if (pid <= 0 || *end != '-' || pid == ::getpid()) continue;
    if (::kill(static_cast<pid_t>(pid), 0) == -1 && errno == ESRCH) std::filesystem::remove(entry.path(), failed);
  }
}

}  // namespace

OutputFile::~OutputFile() { discard(*this); }

bool open_output(OutputFile& file, const std::string& path, int unit) {
  discard(file);
  file.path = path;
  file.unit = unit;
  file.error = 0;
  file.buffer.clear();
  const std::size_t slash = path.rfind('/');
  const std::string dir = slash == std::string::npos ? "" : path.substr(0, slash + 1);
  const std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
  remove_stale_temporaries(dir, base);
  // The process id keeps concurrent runs apart; the counter steps over leftovers.
  for (int attempt = 0; attempt < 100; ++attempt) {
    file.temp_path = dir + "." + base + ".tmp" + std::to_string(::getpid()) + "-" + std::to_string(attempt);
    file.fd = ::open(file.temp_path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (file.fd >= 0) return true;
    if (errno != EEXIST) break;
  }
  file.error = errno;
  file.temp_path.clear();
  return false;
}

void write_record(OutputFile& file, std::string_view record) {
  file.buffer.append(record);
  file.buffer.append("\r\n", 2);
  if (file.buffer.size() >= flush_threshold) drain(file);
}

bool commit_output(OutputFile& file) {
  if (file.fd < 0) {
    if (file.error == 0) file.error = EBADF;
    return false;
  }
  drain(file);
  if (file.error == 0 && ::fsync(file.fd) != 0) file.error = errno;
  if (::close(file.fd) != 0 && file.error == 0) file.error = errno;
  file.fd = -1;
  if (file.error == 0 && ::rename(file.temp_path.c_str(), file.path.c_str()) != 0) file.error = errno;
  if (file.error != 0) {
    discard(file);
    return false;
  }
  file.temp_path.clear();
  return true;
}

std::string describe_output_error(const OutputFile& file) {
  char unit[32];
  std::snprintf(unit, sizeof unit, ", unit %d: ", file.unit);
  return "cannot write file " + file.path + unit + std::strerror(file.error);
}

}  // namespace textio
