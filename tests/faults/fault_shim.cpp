// Preloaded into a program under test: counts its file-system calls by kind and
// makes the K-th call of one kind fail.
//
// Environment:
//   FAULT_KIND=write FAULT_AT=3 FAULT_ERRNO=ENOSPC  the 3rd write fails with ENOSPC
//     (FAULT_ERRNO may be EIO, ENOSPC, EDQUOT, EINTR, or "short": a read or
//     write that transfers only half its bytes)
//   FAULT_COUNT_FILE=path  at exit, one line "<kind> <count>" per kind, then
//     "fired 0|1" telling whether the fault was injected
// Only calls on the program's own files are counted: descriptors 0 to 2 and
// paths under the system folders are passed through untouched. The settings are
// taken when the shim is loaded and removed from the environment with the
// preload itself, so programs the tested one starts run without faults. Counts
// are shared by all threads: the K-th call is the K-th of the whole process.
#include <atomic>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <dlfcn.h>
#include <initializer_list>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

enum Kind {
  open_write,    // open for writing or creating
  open_read,     // open of a file for reading
  open_dir,      // open of a folder (to force its entries to the device)
  write_call,    // write
  read_call,     // read
  fstat_call,    // fstat
  fsync_call,    // fsync, fdatasync
  close_write,   // close of a descriptor opened for writing
  close_other,   // close of any other counted descriptor
  rename_call,   // rename, renameat, renameat2
  unlink_call,   // unlink, unlinkat
  opendir_call,  // opendir
  readdir_call,  // readdir
  closedir_call,
  flock_call,   // flock
  access_call,  // access, faccessat
  kind_count
};

const char* const kind_names[kind_count] = {"open_write", "open_read",   "open_dir",    "write",  "read",   "fstat",
                                            "fsync",      "close_write", "close_other", "rename", "unlink", "opendir",
                                            "readdir",    "closedir",    "flock",       "access"};

constexpr int max_fd = 4096;
std::atomic<char> fd_role[max_fd];  // 0 untracked, 'w' opened for writing, 'r' for reading
constexpr int max_dirs = 64;
std::atomic<DIR*> tracked_dirs[max_dirs];

std::atomic<long> counts[kind_count];
int fault_kind = -1;
long fault_at = 0;
int fault_errno = 0;  // 0 with short_transfer for the "short" mode
bool short_transfer = false;
std::atomic<bool> fired = false;
char count_path[4096];  // FAULT_COUNT_FILE, empty when not set

// Takes the settings from the environment, then removes them and the preload,
// before the program runs any code of its own.
__attribute__((constructor)) void configure() {
  if (const char* path = std::getenv("FAULT_COUNT_FILE")) std::snprintf(count_path, sizeof count_path, "%s", path);
  const char* kind = std::getenv("FAULT_KIND");
  const char* at = std::getenv("FAULT_AT");
  const char* err = std::getenv("FAULT_ERRNO");
  if (kind && at && err) {
    for (int k = 0; k < kind_count; ++k)
      if (std::strcmp(kind, kind_names[k]) == 0) fault_kind = k;
    fault_at = std::atol(at);
    if (std::strcmp(err, "EIO") == 0) fault_errno = EIO;
    if (std::strcmp(err, "ENOSPC") == 0) fault_errno = ENOSPC;
    if (std::strcmp(err, "EDQUOT") == 0) fault_errno = EDQUOT;
    if (std::strcmp(err, "EINTR") == 0) fault_errno = EINTR;
    if (std::strcmp(err, "short") == 0) short_transfer = true;
  }
  for (const char* name : {"LD_PRELOAD", "FAULT_KIND", "FAULT_AT", "FAULT_ERRNO", "FAULT_COUNT_FILE"}) unsetenv(name);
}

// Counts one call of `kind`; true when this is the call that must fail.
bool hit(Kind kind) {
  const bool now = ++counts[kind] == fault_at && kind == fault_kind;
  if (now) fired = true;
  return now;
}

// The K-th call fails with the configured error (a short transfer where the
// call cannot be shortened fails with EIO).
int fail() {
  errno = fault_errno != 0 ? fault_errno : EIO;
  return -1;
}

bool system_path(const char* path) {
  for (const char* prefix : {"/proc/", "/sys/", "/dev/", "/etc/", "/usr/", "/lib"})
    if (std::strncmp(path, prefix, std::strlen(prefix)) == 0) return true;
  return false;
}

bool tracked(int fd) { return fd > 2 && fd < max_fd && fd_role[fd] != 0; }

template <typename F>
F next(const char* name) {
  return reinterpret_cast<F>(dlsym(RTLD_NEXT, name));
}

using OpenAt = int (*)(int, const char*, int, ...);

int counted_openat(int dirfd, const char* path, int flags, mode_t mode) {
  static OpenAt real_open = next<OpenAt>("openat");
  if (system_path(path)) return real_open(dirfd, path, flags, mode);
  const bool writing = (flags & (O_WRONLY | O_RDWR | O_CREAT)) != 0;
  const Kind kind = writing ? open_write : (flags & O_DIRECTORY) ? open_dir : open_read;
  if (hit(kind)) return fail();
  const int fd = real_open(dirfd, path, flags, mode);
  if (fd > 2 && fd < max_fd) fd_role[fd] = writing ? 'w' : 'r';
  return fd;
}

mode_t mode_argument(int flags, va_list args) {
  return (flags & (O_CREAT | O_TMPFILE)) ? static_cast<mode_t>(va_arg(args, int)) : 0;
}

bool track_dir(DIR* dir) {
  for (std::atomic<DIR*>& slot : tracked_dirs) {
    DIR* empty = nullptr;
    if (slot.compare_exchange_strong(empty, dir)) return true;
  }
  return false;
}

bool untrack_dir(DIR* dir) {
  for (std::atomic<DIR*>& slot : tracked_dirs) {
    DIR* expected = dir;
    if (dir != nullptr && slot.compare_exchange_strong(expected, nullptr)) return true;
  }
  return false;
}

bool is_tracked_dir(DIR* dir) {
  for (const std::atomic<DIR*>& slot : tracked_dirs)
    if (slot == dir && dir != nullptr) return true;
  return false;
}

// Written when the program ends normally (also after an error exit).
__attribute__((destructor)) void write_counts() {
  const char* path = count_path;
  if (!*path) return;
  static OpenAt real_open = next<OpenAt>("openat");
  using Write = ssize_t (*)(int, const void*, size_t);
  using Close = int (*)(int);
  static Write real_write = next<Write>("write");
  static Close real_close = next<Close>("close");
  const int fd = real_open(AT_FDCWD, path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return;
  char text[2048];
  int used = 0;
  for (int k = 0; k < kind_count; ++k)
    used += std::snprintf(text + used, sizeof text - used, "%s %ld\n", kind_names[k], counts[k].load());
  used += std::snprintf(text + used, sizeof text - used, "fired %d\n", fired.load() ? 1 : 0);
  real_write(fd, text, used);
  real_close(fd);
}

}  // namespace

extern "C" {

int open(const char* path, int flags, ...) {
  va_list args;
  va_start(args, flags);
  const mode_t mode = mode_argument(flags, args);
  va_end(args);
  return counted_openat(AT_FDCWD, path, flags, mode);
}

int open64(const char* path, int flags, ...) {
  va_list args;
  va_start(args, flags);
  const mode_t mode = mode_argument(flags, args);
  va_end(args);
  return counted_openat(AT_FDCWD, path, flags, mode);
}

int openat(int dirfd, const char* path, int flags, ...) {
  va_list args;
  va_start(args, flags);
  const mode_t mode = mode_argument(flags, args);
  va_end(args);
  return counted_openat(dirfd, path, flags, mode);
}

int openat64(int dirfd, const char* path, int flags, ...) {
  va_list args;
  va_start(args, flags);
  const mode_t mode = mode_argument(flags, args);
  va_end(args);
  return counted_openat(dirfd, path, flags, mode);
}

// Streams opened by name are counted like open and close of their descriptor;
// their reads and writes reach the read and write below.
FILE* counted_fopen(const char* name, const char* path, const char* mode) {
  using Fopen = FILE* (*)(const char*, const char*);
  Fopen real = next<Fopen>(name);
  if (system_path(path)) return real(path, mode);
  const bool writing = std::strpbrk(mode, "wa+") != nullptr;
  if (hit(writing ? open_write : open_read)) return fail(), nullptr;
  FILE* stream = real(path, mode);
  const int fd = stream ? fileno(stream) : -1;
  if (fd > 2 && fd < max_fd) fd_role[fd] = writing ? 'w' : 'r';
  return stream;
}

FILE* fopen(const char* path, const char* mode) { return counted_fopen("fopen", path, mode); }

FILE* fopen64(const char* path, const char* mode) { return counted_fopen("fopen64", path, mode); }

int fclose(FILE* stream) {
  using Fclose = int (*)(FILE*);
  static Fclose real = next<Fclose>("fclose");
  const int fd = fileno(stream);
  if (!tracked(fd)) return real(stream);
  const bool now = hit(fd_role[fd] == 'w' ? close_write : close_other);
  fd_role[fd] = 0;
  const int result = real(stream);
  return now ? (fail(), EOF) : result;
}

ssize_t write(int fd, const void* data, size_t size) {
  using Write = ssize_t (*)(int, const void*, size_t);
  static Write real = next<Write>("write");
  if (!tracked(fd) || !hit(write_call)) return real(fd, data, size);
  if (short_transfer) return real(fd, data, size > 1 ? size / 2 : size);
  return fail();
}

ssize_t read(int fd, void* data, size_t size) {
  using Read = ssize_t (*)(int, void*, size_t);
  static Read real = next<Read>("read");
  if (!tracked(fd) || !hit(read_call)) return real(fd, data, size);
  if (short_transfer) return real(fd, data, size > 1 ? size / 2 : size);
  return fail();
}

int fstat(int fd, struct stat* info) noexcept {
  using Fstat = int (*)(int, struct stat*);
  static Fstat real = next<Fstat>("fstat");
  if (tracked(fd) && hit(fstat_call)) return fail();
  return real(fd, info);
}

int fstat64(int fd, struct stat64* info) noexcept {
  using Fstat = int (*)(int, struct stat64*);
  static Fstat real = next<Fstat>("fstat64");
  if (tracked(fd) && hit(fstat_call)) return fail();
  return real(fd, info);
}

int fsync(int fd) {
  using Sync = int (*)(int);
  static Sync real = next<Sync>("fsync");
  if (tracked(fd) && hit(fsync_call)) return fail();
  return real(fd);
}

int fdatasync(int fd) {
  using Sync = int (*)(int);
  static Sync real = next<Sync>("fdatasync");
  if (tracked(fd) && hit(fsync_call)) return fail();
  return real(fd);
}

// Like the system's close, an injected failure still releases the descriptor.
int close(int fd) {
  using Close = int (*)(int);
  static Close real = next<Close>("close");
  if (!tracked(fd)) return real(fd);
  const bool now = hit(fd_role[fd] == 'w' ? close_write : close_other);
  fd_role[fd] = 0;
  const int result = real(fd);
  return now ? fail() : result;
}

int rename(const char* from, const char* to) noexcept {
  using Rename = int (*)(const char*, const char*);
  static Rename real = next<Rename>("rename");
  if (!system_path(to) && hit(rename_call)) return fail();
  return real(from, to);
}

int renameat(int from_dir, const char* from, int to_dir, const char* to) noexcept {
  using Rename = int (*)(int, const char*, int, const char*);
  static Rename real = next<Rename>("renameat");
  if (!system_path(to) && hit(rename_call)) return fail();
  return real(from_dir, from, to_dir, to);
}

int unlink(const char* path) noexcept {
  using Unlink = int (*)(const char*);
  static Unlink real = next<Unlink>("unlink");
  if (!system_path(path) && hit(unlink_call)) return fail();
  return real(path);
}

int unlinkat(int dirfd, const char* path, int flags) noexcept {
  using Unlink = int (*)(int, const char*, int);
  static Unlink real = next<Unlink>("unlinkat");
  if (!system_path(path) && hit(unlink_call)) return fail();
  return real(dirfd, path, flags);
}

DIR* opendir(const char* path) {
  using OpenDir = DIR* (*)(const char*);
  static OpenDir real = next<OpenDir>("opendir");
  if (system_path(path)) return real(path);
  if (hit(opendir_call)) return fail(), nullptr;
  DIR* dir = real(path);
  if (dir) track_dir(dir);
  return dir;
}

struct dirent* readdir(DIR* dir) {
  using ReadDir = struct dirent* (*)(DIR*);
  static ReadDir real = next<ReadDir>("readdir");
  if (is_tracked_dir(dir) && hit(readdir_call)) return fail(), nullptr;
  return real(dir);
}

struct dirent64* readdir64(DIR* dir) {
  using ReadDir = struct dirent64* (*)(DIR*);
  static ReadDir real = next<ReadDir>("readdir64");
  if (is_tracked_dir(dir) && hit(readdir_call)) return fail(), nullptr;
  return real(dir);
}

int closedir(DIR* dir) {
  using CloseDir = int (*)(DIR*);
  static CloseDir real = next<CloseDir>("closedir");
  const bool now = untrack_dir(dir) && hit(closedir_call);
  const int result = real(dir);
  return now ? fail() : result;
}

int flock(int fd, int operation) noexcept {
  using Flock = int (*)(int, int);
  static Flock real = next<Flock>("flock");
  if (tracked(fd) && hit(flock_call)) return fail();
  return real(fd, operation);
}

int access(const char* path, int mode) noexcept {
  using Access = int (*)(const char*, int);
  static Access real = next<Access>("access");
  if (!system_path(path) && hit(access_call)) return fail();
  return real(path, mode);
}

int faccessat(int dirfd, const char* path, int mode, int flags) noexcept {
  using Access = int (*)(int, const char*, int, int);
  static Access real = next<Access>("faccessat");
  if (!system_path(path) && hit(access_call)) return fail();
  return real(dirfd, path, mode, flags);
}

}  // extern "C"
