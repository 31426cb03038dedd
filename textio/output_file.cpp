// Result files that are replaced whole or not at all.
#include "textio/output_file.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "textio/diagnostics.h"

namespace textio {

namespace {

constexpr std::size_t flush_threshold = 1 << 20;

// Repeats a system call that a signal interrupted before it did anything.
template <typename Call>
auto retry(Call call) {
  for (;;) {
    auto result = call();
    if (result != -1 || errno != EINTR) return result;
  }
}

// Hands the buffer to the system, keeping the first error; a write that takes
// only part of the bytes is continued with the rest.
void drain(OutputFile& file) {
  std::size_t done = 0;
  while (file.error == 0 && done < file.buffer.size()) {
    ssize_t n = retry([&] { return ::write(file.fd, file.buffer.data() + done, file.buffer.size() - done); });
    if (n < 0) {
      file.error = errno;
      break;
    }
    done += static_cast<std::size_t>(n);
  }
  file.buffer.clear();
}

// Closes a descriptor. An interrupted close has still released it (retrying
// could close a descriptor opened meanwhile), so only other errors count.
int close_descriptor(int fd) {
  if (::close(fd) == 0 || errno == EINTR) return 0;
  return errno;
}

void discard(OutputFile& file) {
  if (file.fd >= 0) close_descriptor(file.fd);
  file.fd = -1;
  if (!file.temp_path.empty()) retry([&] { return ::unlink(file.temp_path.c_str()); });
  file.temp_path.clear();
}

// The folder of `path` with its trailing slash, or "" for the working folder.
std::string folder_prefix(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? "" : path.substr(0, slash + 1);
}

// True for ".<base>.tmp<digits>-<digits>", the names open_output gives its temporary files.
bool is_temporary_of(const char* name, const std::string& base) {
  const std::string prefix = "." + base + ".tmp";
  if (std::strncmp(name, prefix.c_str(), prefix.size()) != 0) return false;
  const char* p = name + prefix.size();
  const char* digits = p;
  while (*p >= '0' && *p <= '9') ++p;
  if (p == digits || *p != '-') return false;
  digits = ++p;
  while (*p >= '0' && *p <= '9') ++p;
  return p != digits && *p == '\0';
}

// Removes a leftover temporary file unless its writer still holds the lock on
// it. The lock, not the process id in the name, decides: a run on another
// machine or in another process namespace can share the folder and reuse ids.
// It is removed while locked, so a writer that locks it after that sees it gone.
void remove_if_unclaimed(const std::string& path) {
  const int fd = retry([&] { return ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK); });
  if (fd < 0) return;
  if (retry([&] { return ::flock(fd, LOCK_EX | LOCK_NB); }) == 0) retry([&] { return ::unlink(path.c_str()); });
  close_descriptor(fd);
}

// Clears what runs killed before their commit left beside the target. Best
// effort: a folder that cannot be listed only keeps its leftovers.
void remove_stale_temporaries(const std::string& dir, const std::string& base) {
  DIR* entries = nullptr;
  do entries = ::opendir(dir.empty() ? "." : dir.c_str());
  while (entries == nullptr && errno == EINTR);
  if (entries == nullptr) return;
  for (;;) {
    errno = 0;
    const dirent* entry = ::readdir(entries);
    if (entry == nullptr && errno == EINTR) continue;
    if (entry == nullptr) break;
    if (is_temporary_of(entry->d_name, base)) remove_if_unclaimed(dir + entry->d_name);
  }
  ::closedir(entries);
}

// Creates and locks a new temporary file for `file.path`; the lock, held until
// the file is closed, tells other runs' cleanup that it is in use.
bool create_temporary(OutputFile& file, const std::string& dir, const std::string& base) {
  // The process id keeps concurrent runs apart; the counter steps over leftovers
  // and over names that another run's cleanup is removing.
  for (int attempt = 0; attempt < 100; ++attempt) {
    file.temp_path = dir + "." + base + ".tmp" + std::to_string(::getpid()) + "-" + std::to_string(attempt);
    file.fd = retry([&] { return ::open(file.temp_path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666); });
    if (file.fd < 0 && errno == EEXIST) continue;
    if (file.fd < 0) break;
    if (retry([&] { return ::flock(file.fd, LOCK_EX | LOCK_NB); }) != 0) {
      // Held by a cleanup that took the new file for a leftover: it is removing it.
      if (errno == EWOULDBLOCK) {
        close_descriptor(file.fd);
        continue;
      }
      // A file system without locks: write unlocked; cleanups there cannot
      // lock either and so leave every temporary file alone.
      return true;
    }
    struct stat info {};
    if (retry([&] { return ::fstat(file.fd, &info); }) == 0 && info.st_nlink == 0) {
      close_descriptor(file.fd);  // a cleanup removed it between creation and locking
      continue;
    }
    return true;
  }
  file.error = file.fd < 0 ? errno : EEXIST;
  if (file.fd >= 0) close_descriptor(file.fd);
  file.fd = -1;
  file.temp_path.clear();
  return false;
}

// Refuses to replace an existing target that its owner made read-only: rename
// would replace it regardless of the file's own mode. Returns 0 or the errno.
int check_target_writable(const std::string& path) {
  if (retry([&] { return ::faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS); }) == 0 || errno == ENOENT) return 0;
  return errno;
}

// Forces the folder's entry for the renamed file to the device, so the new name
// survives a crash. Returns 0 or the errno.
int sync_folder(const std::string& dir) {
  const int fd = retry([&] { return ::open(dir.empty() ? "." : dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); });
  if (fd < 0) return errno;
  int error = 0;
  // EINVAL: the file system cannot sync a folder; there is nothing more to do.
  if (retry([&] { return ::fsync(fd); }) != 0 && errno != EINVAL) error = errno;
  close_descriptor(fd);  // opened for reading only: nothing to lose on close
  return error;
}

}  // namespace

OutputFile::~OutputFile() { discard(*this); }

bool open_output(OutputFile& file, const std::string& path, int unit) {
  discard(file);
  file.path = path;
  file.unit = unit;
  file.error = 0;
  file.buffer.clear();
  const std::string dir = folder_prefix(path);
  const std::string base = path.substr(dir.size());
  remove_stale_temporaries(dir, base);
  return create_temporary(file, dir, base);
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
  if (file.error == 0 && retry([&] { return ::fsync(file.fd); }) != 0) file.error = errno;
  if (file.error == 0) file.error = check_target_writable(file.path);
  // Renamed while still open, so the lock keeps other runs' cleanup away until
  // the file carries its final name.
  if (file.error == 0 && retry([&] { return ::rename(file.temp_path.c_str(), file.path.c_str()); }) != 0)
    file.error = errno;
  if (file.error != 0) {
    discard(file);
    return false;
  }
  file.temp_path.clear();
  // From here on the target already holds the complete new contents, forced to
  // the device before the rename; a failure of the close or of the folder sync
  // only means the replacement might not survive a crash, so it is reported,
  // and whatever the target holds after one is the complete old or new file.
  file.error = close_descriptor(file.fd);
  file.fd = -1;
  if (file.error == 0) file.error = sync_folder(folder_prefix(file.path));
  return file.error == 0;
}

std::string describe_output_error(const OutputFile& file) {
  char unit[32];
  std::snprintf(unit, sizeof unit, ", unit %d: ", file.unit);
  return "cannot write file " + file.path + unit + system_message(file.error);
}

}  // namespace textio
