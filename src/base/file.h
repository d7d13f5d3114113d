// Files of the platform: every file system call of the program goes through here, binary
// and unbuffered, with the same meaning on POSIX and Windows.
#pragma once

#include <cstddef>
#include <cstdint>

namespace ucac2 {

/// The platform's directory separator, used in every file name the program makes.
extern const char kPathSeparator;

/// True where an absolute path begins with "/", so that an argument beginning with "/" may
/// name a directory rather than an option.
extern const bool kSlashBeginsAbsolutePath;

/// An open file; move-only, closed when it goes out of scope. Closing is never checked.
class File {
 public:
  File() = default;
  explicit File(std::intptr_t handle) : handle_(handle) {}
  File(File&& other) noexcept : handle_(other.handle_) { other.handle_ = kNoHandle; }
  File& operator=(File&& other) noexcept {
    if (this != &other) {
      Close();
      handle_ = other.handle_;
      other.handle_ = kNoHandle;
    }
    return *this;
  }
  File(const File&) = delete;
  File& operator=(const File&) = delete;
  ~File() { Close(); }

  bool is_open() const { return handle_ != kNoHandle; }
  std::intptr_t handle() const { return handle_; }
  void Close();

 private:
  static constexpr std::intptr_t kNoHandle = -1;
  std::intptr_t handle_ = kNoHandle;
};

/// What creating or appending does with a symbolic link standing at the name: refuse it (the
/// call fails), or write through it to the file it points to.
enum class Links { kRefuse, kFollow };

/// Creates `path` empty, truncating an existing file, with read and write permission, and
/// closes it. A symbolic link at `path` is refused or followed as `links` says. False on
/// failure, and for anything but a regular file at the name (a FIFO, a device), never waiting.
bool CreateEmptyFile(const char* path, Links links = Links::kRefuse);

/// Opens an existing regular file for binary reading; not open on failure. A directory, a
/// FIFO or a device fails too, at once: the open never waits for a writer.
File OpenForReading(const char* path);

/// The system's folder for temporary files, as CreateTemporaryFile uses it ($TMPDIR, else
/// /tmp; on Windows the temporary path of the user). Valid until the next call.
const char* TemporaryFolder();

/// Creates a new, empty file in the system's folder for temporary files, open for binary
/// reading and writing, that disappears when it is closed or the process ends; not open on
/// failure.
File CreateTemporaryFile();

/// Opens an existing regular file for binary, append-only writing; never creates one, and
/// fails at once on anything else. A symbolic link at `path` is refused or followed as `links`
/// says.
File OpenForAppending(const char* path, Links links = Links::kRefuse);

/// Creates `path` as a new, empty file open for binary writing; fails when anything (a link
/// included) already stands at the name, so that two processes never share the file.
File CreateNewFile(const char* path);

/// Moves the file `from` to the name `to` in one step, replacing a file that stands there:
/// a reader of `to` sees the old file or the new one, never a mixture. False on failure.
bool ReplaceFile(const char* from, const char* to);

/// What makes a file itself, whatever its name: two names of one file have the same identity.
struct FileIdentity {
  std::uint64_t volume = 0;
  std::uint64_t index = 0;
  bool operator==(const FileIdentity&) const = default;
};

/// The identity of the file `path` names, a symbolic link followed; false when it cannot be
/// told (no such file, say).
bool QueryFileIdentity(const char* path, FileIdentity* identity);

/// Reads up to `size` bytes, fewer only at the end of the file. The count read, or -1.
std::int64_t ReadBytes(File& file, void* buffer, std::size_t size);

/// Writes all `size` bytes; false if they could not all be written.
bool WriteBytes(File& file, const void* bytes, std::size_t size);

/// Moves the read position to `offset` from the start of the file.
bool SeekTo(File& file, std::int64_t offset);

/// The size in bytes of the file named `path`, by name; false if it cannot be queried.
bool QueryFileSize(const char* path, std::int64_t* size);

/// Deletes the file named `path`; failures are ignored.
void RemoveFile(const char* path);

/// True when `path` names an existing directory.
bool IsDirectory(const char* path);

/// True when `path` is a symbolic link (on Windows also a junction), whatever it points to.
bool IsSymbolicLink(const char* path);

/// What a name stands for, a symbolic link followed to its target.
enum class PathKind { kMissing, kRegularFile, kOther, kUnknown };

/// What `path` names; for a regular file also its size in bytes. kUnknown when that cannot be
/// told (a directory on the way that may not be searched, say). Never opens the file itself.
PathKind QueryPathKind(const char* path, std::int64_t* size);

/// True when the standard error stream is a terminal (a console on Windows).
bool StandardErrorIsTerminal();

/// Takes an advisory lock on the current directory for the rest of the process, so that two
/// compilations never share its work files. Leaves no file behind; the system releases the
/// lock when the process ends, however it ends. False when another process holds it.
bool LockWorkingDirectory();

/// True when a compilation holds the lock of `directory` (LockWorkingDirectory) right now.
/// The question takes a shared hold for an instant, which a compilation starting in that
/// instant would take for another compilation.
bool CompilationRunsIn(const char* directory);

/// Makes the process safe to run before any file is opened: a closed standard stream is
/// reopened on the null device (so no file can take descriptor 0), and a file-size limit
/// makes writes fail instead of killing the process.
void PrepareProcess();

}  // namespace ucac2
