// POSIX files.
#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "base/faults.h"
#include "base/file.h"

#ifndef O_CLOEXEC
#define O_CLOEXEC 0
#endif
#ifndef O_NOFOLLOW
#define O_NOFOLLOW 0
#endif

namespace ucac2 {

const char kPathSeparator = '/';
const bool kSlashBeginsAbsolutePath = true;

namespace {

int Descriptor(const File& file) { return static_cast<int>(file.handle()); }

int OpenRetrying(const char* path, int flags, mode_t mode = 0) {
  int fd;
  do {
    fd = ::open(path, flags | O_CLOEXEC, mode);
  } while (fd < 0 && errno == EINTR);
  return fd;
}

// Opens `path` without waiting on a FIFO or a device (a FIFO with no writer would block an
// open for reading forever, one with no reader an open for writing), then keeps it only if it
// is a regular file. -1 for anything else, as for a name that does not open.
int OpenRegular(const char* path, int flags, mode_t mode = 0) {
  const int fd = OpenRetrying(path, flags | O_NONBLOCK, mode);
  if (fd < 0) return fd;
  struct stat info;
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    ::close(fd);
    errno = EINVAL;
    return -1;
  }
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  return fd;
}

int LinkFlag(Links links) { return links == Links::kRefuse ? O_NOFOLLOW : 0; }

bool Strikes(FaultCall kind) {
  FaultEffect effect;
  return FaultStrikes(kind, &effect);
}

}  // namespace

void File::Close() {
  if (handle_ == kNoHandle) return;
  ::close(static_cast<int>(handle_));
  handle_ = kNoHandle;
}

bool CreateEmptyFile(const char* path, Links links) {
  if (Strikes(FaultCall::kCreate)) return false;
  const int fd = OpenRegular(path, O_WRONLY | O_CREAT | O_TRUNC | LinkFlag(links), 0666);
  if (fd < 0) return false;
  ::close(fd);
  return true;
}

File OpenForReading(const char* path) {
  if (Strikes(FaultCall::kOpen)) return File();
  // A directory opens for reading too; it is still no data file.
  return File(OpenRegular(path, O_RDONLY));
}

const char* TemporaryFolder() {
  const char* folder = std::getenv("TMPDIR");
  return folder == nullptr || folder[0] == '\0' ? "/tmp" : folder;
}

File CreateTemporaryFile() {
  if (Strikes(FaultCall::kCreate)) return File();
  char path[4096];
  const int length = std::snprintf(path, sizeof path, "%s/ucac2db-XXXXXX", TemporaryFolder());
  if (length < 0 || static_cast<std::size_t>(length) >= sizeof path) return File();
  File file(::mkostemp(path, O_CLOEXEC));
  // Unlinked at once: the data lives as long as the descriptor, and nothing is left behind.
  if (file.is_open()) ::unlink(path);
  return file;
}

File OpenForAppending(const char* path, Links links) {
  if (Strikes(FaultCall::kOpen)) return File();
  return File(OpenRegular(path, O_WRONLY | O_APPEND | LinkFlag(links)));
}

File CreateNewFile(const char* path) {
  if (Strikes(FaultCall::kCreate)) return File();
  return File(OpenRetrying(path, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW, 0666));
}

bool ReplaceFile(const char* from, const char* to) { return ::rename(from, to) == 0; }

bool QueryFileIdentity(const char* path, FileIdentity* identity) {
  struct stat info;
  if (::stat(path, &info) != 0) return false;
  identity->volume = static_cast<std::uint64_t>(info.st_dev);
  identity->index = static_cast<std::uint64_t>(info.st_ino);
  return true;
}

std::int64_t ReadBytes(File& file, void* buffer, std::size_t size) {
  FaultEffect effect = FaultEffect::kError;
  if (FaultStrikes(FaultCall::kRead, &effect)) {
    if (effect == FaultEffect::kError) return -1;
    size /= 2;  // the short read: fewer bytes than asked for, and no error
    const ssize_t got = ::read(Descriptor(file), buffer, size);
    return got < 0 ? -1 : got;
  }
  auto* out = static_cast<char*>(buffer);
  std::size_t done = 0;
  while (done < size) {
    const ssize_t got = ::read(Descriptor(file), out + done, size - done);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return -1;
    if (got == 0) break;
    done += static_cast<std::size_t>(got);
  }
  return static_cast<std::int64_t>(done);
}

bool WriteBytes(File& file, const void* bytes, std::size_t size) {
  FaultEffect effect = FaultEffect::kError;
  if (FaultStrikes(FaultCall::kWrite, &effect)) {
    if (effect == FaultEffect::kShort && size > 1) {
      // Part of the bytes reach the disk, then the device gives up.
      (void)!::write(Descriptor(file), bytes, size / 2);
    }
    errno = effect == FaultEffect::kNoSpace ? ENOSPC : EIO;
    return false;
  }
  const auto* in = static_cast<const char*>(bytes);
  std::size_t done = 0;
  while (done < size) {
    const ssize_t put = ::write(Descriptor(file), in + done, size - done);
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) return false;
    done += static_cast<std::size_t>(put);
  }
  return true;
}

bool SeekTo(File& file, std::int64_t offset) {
  if (Strikes(FaultCall::kSeek)) return false;
  return ::lseek(Descriptor(file), static_cast<off_t>(offset), SEEK_SET) == offset;
}

bool QueryFileSize(const char* path, std::int64_t* size) {
  if (Strikes(FaultCall::kSize)) return false;
  struct stat info;
  if (::stat(path, &info) != 0) return false;
  *size = static_cast<std::int64_t>(info.st_size);
  return true;
}

void RemoveFile(const char* path) {
  if (Strikes(FaultCall::kDelete)) return;
  ::unlink(path);
}

bool IsDirectory(const char* path) {
  struct stat info;
  return ::stat(path, &info) == 0 && S_ISDIR(info.st_mode);
}

bool IsSymbolicLink(const char* path) {
  struct stat info;
  return ::lstat(path, &info) == 0 && S_ISLNK(info.st_mode);
}

PathKind QueryPathKind(const char* path, std::int64_t* size) {
  struct stat info;
  if (::stat(path, &info) != 0) {
    return errno == ENOENT || errno == ENOTDIR ? PathKind::kMissing : PathKind::kUnknown;
  }
  if (!S_ISREG(info.st_mode)) return PathKind::kOther;
  *size = static_cast<std::int64_t>(info.st_size);
  return PathKind::kRegularFile;
}

bool StandardErrorIsTerminal() { return ::isatty(2) == 1; }

bool LockWorkingDirectory() {
  // The descriptor stays open, and so the lock held, until the process ends.
  const int fd = OpenRetrying(".", O_RDONLY);
  if (fd < 0)
    return true;  // an unreadable directory fails later, naming the file it could not make
  return ::flock(fd, LOCK_EX | LOCK_NB) == 0 || errno != EWOULDBLOCK;
}

bool CompilationRunsIn(const char* directory) {
  const int fd = OpenRetrying(directory, O_RDONLY);
  if (fd < 0) return false;
  const bool held = ::flock(fd, LOCK_SH | LOCK_NB) != 0 && errno == EWOULDBLOCK;
  ::close(fd);  // which lets go of a shared hold taken
  return held;
}

void PrepareProcess() {
  for (int fd = 0; fd <= 2; ++fd) {
    if (::fcntl(fd, F_GETFD) < 0 && errno == EBADF) {
      const int null_fd = ::open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY);
      if (null_fd >= 0 && null_fd != fd) {
        ::dup2(null_fd, fd);
        ::close(null_fd);
      }
    }
  }
  // Past a file-size limit a write then fails with EFBIG and is reported like any other.
  ::signal(SIGXFSZ, SIG_IGN);
}

}  // namespace ucac2
