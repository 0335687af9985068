/* Slow storage for the integration tests: preloaded into Wine (LD_PRELOAD),
 * it delays the C library's file calls for paths under one folder, as a
 * network share, a disk that spins up or a cloud folder delays each round
 * trip. Each call still does what it does, after the delay.
 *
 *   SHEETWALK_SLOW_FOLDER  a path fragment; a call whose path holds it
 *                          anywhere is delayed. Wine names files through the
 *                          prefix's dosdevices/z: link, so the fragment is
 *                          matched anywhere, not as a prefix.
 *   SHEETWALK_SLOW_MS      the delay of such a call, in ms (default 100)
 *   SHEETWALK_HANG_MARK    a path fragment; a call whose path holds it waits
 *                          SHEETWALK_HANG_MS instead: a share that has gone
 *                          away, where every call runs into its timeout
 *   SHEETWALK_HANG_MS      that wait, in ms (default 5000)
 *   SHEETWALK_SLOW_LOG     optional file; one line is appended per delayed
 *                          call: the milliseconds since the process started
 *                          it, the thread, the function and the path
 *
 * The calls are those through which Wine reaches files: 64-bit Wine calls
 * open, stat, lstat, fstatat, read and pread; 32-bit Wine calls open64,
 * pread64, read and glibc's 64-bit-time __stat64_time64, __lstat64_time64 and
 * __fstatat64_time64. The other names of the same calls are delayed too. The
 * attribute query of an open file (fstat) is not: a share answers it from
 * what its open returned.
 *
 * Wine opens most files in its server process, so an open is not always seen
 * here: a call on a file descriptor finds its path through /proc/self/fd.
 * The server itself is never slowed, since every Wine thread waits on it.
 * Nothing here calls back into an intercepted function (readlink, write and
 * clock_nanosleep are not intercepted, and the log is opened through the
 * C library's own open). */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <stdarg.h>
#include <stddef.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>
#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

#define EXPORT __attribute__((visibility("default")))

/* A path as the kernel may give it back: longer ones are never delayed. */
#define PATH_BYTES 4096

struct settings {
  int ready;
  int active;           /* 0 in Wine's server, or with nothing configured */
  const char* folder;   /* null: no slow folder */
  const char* hangMark; /* null: no hang marker */
  long slowMs;
  long hangMs;
  const char* logPath;
  struct timespec start;
};

static struct settings settings;

static long NumberOr(const char* text, long fallback) {
  if (text == NULL || *text == '\0') return fallback;
  char* end = NULL;
  const long value = strtol(text, &end, 10);
  return (*end == '\0' && value >= 0) ? value : fallback;
}

static const char* NonEmpty(const char* text) { return (text != NULL && *text != '\0') ? text : NULL; }

/* Read once, before the program runs; getenv allocates nothing. */
__attribute__((constructor)) static void ReadSettings(void) {
  settings.folder = NonEmpty(getenv("SHEETWALK_SLOW_FOLDER"));
  settings.hangMark = NonEmpty(getenv("SHEETWALK_HANG_MARK"));
  settings.slowMs = NumberOr(getenv("SHEETWALK_SLOW_MS"), 100);
  settings.hangMs = NumberOr(getenv("SHEETWALK_HANG_MS"), 5000);
  settings.logPath = NonEmpty(getenv("SHEETWALK_SLOW_LOG"));
  clock_gettime(CLOCK_MONOTONIC, &settings.start);

  char exe[PATH_BYTES];
  const ssize_t length = readlink("/proc/self/exe", exe, sizeof exe - 1);
  exe[length > 0 ? length : 0] = '\0';
  const char* base = strrchr(exe, '/');
  const int server = strncmp(base != NULL ? base + 1 : exe, "wineserver", 10) == 0;
  settings.active = !server && (settings.folder != NULL || settings.hangMark != NULL);
  settings.ready = 1;
}

/* The delay of a call on `path`, in ms: 0 for none. */
static long DelayFor(const char* path) {
  if (!settings.ready || !settings.active || path == NULL) return 0;
  if (settings.hangMark != NULL && strstr(path, settings.hangMark) != NULL) return settings.hangMs;
  if (settings.folder != NULL && strstr(path, settings.folder) != NULL) return settings.slowMs;
  return 0;
}

static char* Append(char* at, const char* end, const char* text) {
  while (*text != '\0' && at < end) *at++ = *text++;
  return at;
}

static char* AppendNumber(char* at, const char* end, unsigned long long value) {
  char digits[24];
  int n = 0;
  do {
    digits[n++] = (char)('0' + value % 10);
    value /= 10;
  } while (value != 0);
  while (n > 0 && at < end) *at++ = digits[--n];
  return at;
}

static int RealOpen(const char* path, int flags, mode_t mode);

/* One write per line, so that lines of several threads do not mix. */
static void Log(const char* function, const char* path) {
  if (settings.logPath == NULL) return;
  struct timespec now;
  clock_gettime(CLOCK_MONOTONIC, &now);
  const long long ms = (now.tv_sec - settings.start.tv_sec) * 1000LL + (now.tv_nsec - settings.start.tv_nsec) / 1000000;
  char line[PATH_BYTES + 128];
  const char* end = line + sizeof line - 1;
  char* at = AppendNumber(line, end, (unsigned long long)(ms > 0 ? ms : 0));
  at = Append(at, end, " ");
  at = AppendNumber(at, end, (unsigned long long)syscall(SYS_gettid));
  at = Append(at, end, " ");
  at = Append(at, end, function);
  at = Append(at, end, " ");
  at = Append(at, end, path);
  *at++ = '\n';
  const int fd = RealOpen(settings.logPath, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) return;
  const int saved = errno;
  (void)!write(fd, line, (size_t)(at - line));
  close(fd);
  errno = saved;
}

static void Wait(long ms) {
  struct timespec until;
  clock_gettime(CLOCK_MONOTONIC, &until);
  until.tv_sec += ms / 1000;
  until.tv_nsec += (ms % 1000) * 1000000L;
  if (until.tv_nsec >= 1000000000L) {
    until.tv_sec += 1;
    until.tv_nsec -= 1000000000L;
  }
  /* Wine interrupts its threads with signals: sleep on to the same end. */
  while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &until, NULL) == EINTR) {
  }
}

static void DelayPath(const char* function, const char* path) {
  const long ms = DelayFor(path);
  if (ms == 0) return;
  const int saved = errno;
  Log(function, path);
  Wait(ms);
  errno = saved;
}

/* The file a descriptor names now; false for anything without a path. */
static int DescriptorPath(int fd, char* path) {
  char link[40] = "/proc/self/fd/";
  AppendNumber(link + 14, link + sizeof link - 1, (unsigned long long)(fd >= 0 ? fd : 0))[0] = '\0';
  const ssize_t length = readlink(link, path, PATH_BYTES - 1);
  if (fd < 0 || length <= 0) return 0;
  path[length] = '\0';
  return path[0] == '/';
}

static void DelayDescriptor(const char* function, int fd) {
  if (!settings.ready || !settings.active) return;
  const int saved = errno;
  char path[PATH_BYTES];
  if (DescriptorPath(fd, path)) DelayPath(function, path);
  errno = saved;
}

/* A path relative to a folder descriptor (the *at calls), made whole so that
 * the folder's part of it can match; an empty path with AT_EMPTY_PATH is the
 * descriptor itself. */
static void DelayAt(const char* function, int dirfd, const char* path, int emptyPathFlag) {
  if (!settings.ready || !settings.active || path == NULL) return;
  if (path[0] == '/' || (dirfd == AT_FDCWD && path[0] != '\0')) {
    DelayPath(function, path);
    return;
  }
  const int saved = errno;
  char whole[PATH_BYTES];
  if (dirfd == AT_FDCWD) {
    if (getcwd(whole, sizeof whole) == NULL) whole[0] = '\0';
  } else if (!DescriptorPath(dirfd, whole)) {
    whole[0] = '\0';
  }
  if (whole[0] != '\0' && (path[0] != '\0' || emptyPathFlag)) {
    char* at = whole + strlen(whole);
    const char* end = whole + sizeof whole - 1;
    if (path[0] != '\0') at = Append(Append(at, end, "/"), end, path);
    *at = '\0';
    DelayPath(function, whole);
  }
  errno = saved;
}

/* The C library's own function of that name. */
#define REAL(type, name, params)                              \
  static type(*real_##name) params = NULL;                   \
  if (real_##name == NULL) real_##name = (type(*) params)dlsym(RTLD_NEXT, #name); \
  if (real_##name == NULL) {                                  \
    errno = ENOSYS;                                           \
    return -1;                                                \
  }

static int RealOpen(const char* path, int flags, mode_t mode) {
  REAL(int, open, (const char*, int, ...));
  return real_open(path, flags, mode);
}

/* O_CREAT and O_TMPFILE carry a mode. */
#define MODE_ARGUMENT(flags, mode)              \
  mode_t mode = 0;                              \
  if ((flags) & (O_CREAT | __O_TMPFILE)) {      \
    va_list arguments;                          \
    va_start(arguments, flags);                 \
    mode = (mode_t)va_arg(arguments, int);      \
    va_end(arguments);                          \
  }

EXPORT int open(const char* path, int flags, ...) {
  MODE_ARGUMENT(flags, mode);
  DelayPath("open", path);
  return RealOpen(path, flags, mode);
}

EXPORT int open64(const char* path, int flags, ...) {
  MODE_ARGUMENT(flags, mode);
  DelayPath("open64", path);
  REAL(int, open64, (const char*, int, ...));
  return real_open64(path, flags, mode);
}

EXPORT int openat(int dirfd, const char* path, int flags, ...) {
  MODE_ARGUMENT(flags, mode);
  DelayAt("openat", dirfd, path, 0);
  REAL(int, openat, (int, const char*, int, ...));
  return real_openat(dirfd, path, flags, mode);
}

EXPORT int openat64(int dirfd, const char* path, int flags, ...) {
  MODE_ARGUMENT(flags, mode);
  DelayAt("openat64", dirfd, path, 0);
  REAL(int, openat64, (int, const char*, int, ...));
  return real_openat64(dirfd, path, flags, mode);
}

/* The stat record is only passed through: its layout differs between the
 * names (32- and 64-bit sizes and times) and never matters here. */
#define PATH_STAT(name)                                  \
  EXPORT int name(const char* path, void* record) {      \
    DelayPath(#name, path);                              \
    REAL(int, name, (const char*, void*));               \
    return real_##name(path, record);                    \
  }

#define AT_STAT(name)                                                        \
  EXPORT int name(int dirfd, const char* path, void* record, int flags) {    \
    DelayAt(#name, dirfd, path, flags & AT_EMPTY_PATH);                      \
    REAL(int, name, (int, const char*, void*, int));                         \
    return real_##name(dirfd, path, record, flags);                          \
  }

PATH_STAT(stat)
PATH_STAT(stat64)
PATH_STAT(lstat)
PATH_STAT(lstat64)
AT_STAT(fstatat)
AT_STAT(fstatat64)
#if !defined(__x86_64__)
PATH_STAT(__stat64_time64)
PATH_STAT(__lstat64_time64)
AT_STAT(__fstatat64_time64)
#endif

EXPORT ssize_t read(int fd, void* buffer, size_t count) {
  DelayDescriptor("read", fd);
  REAL(ssize_t, read, (int, void*, size_t));
  return real_read(fd, buffer, count);
}

EXPORT ssize_t pread(int fd, void* buffer, size_t count, off_t offset) {
  DelayDescriptor("pread", fd);
  REAL(ssize_t, pread, (int, void*, size_t, off_t));
  return real_pread(fd, buffer, count, offset);
}

EXPORT ssize_t pread64(int fd, void* buffer, size_t count, off64_t offset) {
  DelayDescriptor("pread64", fd);
  REAL(ssize_t, pread64, (int, void*, size_t, off64_t));
  return real_pread64(fd, buffer, count, offset);
}
