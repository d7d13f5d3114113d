// Windows files: the wide-character API, on names turned back from the ANSI code page in
// which the C runtime handed the program its arguments.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
// windows.h makes ReplaceFile a macro for ReplaceFileW, which would rename ours here alone.
#undef ReplaceFile

#include <cstdlib>
#include <cwchar>

#include "base/faults.h"
#include "base/file.h"

namespace ucac2 {

const char kPathSeparator = '\\';
const bool kSlashBeginsAbsolutePath = false;

namespace {

// Other handles on the same file may read, write and delete it, as on POSIX: a work file
// is deleted while the next run's handle, or a reader, may still be open.
constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
// One ReadFile or WriteFile moves at most this much; the buffers are far smaller anyway.
constexpr DWORD kMaxChunk = 1u << 30;

// A name as the wide API takes it. Every name the program makes fits; a longer one, or one
// that is not valid in the ANSI code page, names no file.
class WideName {
 public:
  explicit WideName(const char* path) {
    valid_ = ::MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, path, -1, wide_, kSize) > 0;
  }
  const wchar_t* get() const { return wide_; }
  bool valid() const { return valid_; }

 private:
  static constexpr int kSize = 2048;
  wchar_t wide_[kSize];
  bool valid_ = false;
};

HANDLE Handle(const File& file) { return reinterpret_cast<HANDLE>(file.handle()); }

File FromHandle(HANDLE handle) {
  // INVALID_HANDLE_VALUE is -1, the value of a File that is not open.
  return File(reinterpret_cast<std::intptr_t>(handle));
}

HANDLE Open(const char* path, DWORD access, DWORD disposition, DWORD flags) {
  const WideName name(path);
  if (!name.valid()) return INVALID_HANDLE_VALUE;
  return ::CreateFileW(name.get(), access, kShareAll, nullptr, disposition, flags, nullptr);
}

enum class Reparse { kNone, kLink, kOther };

Reparse ReparseKind(HANDLE handle) {
  FILE_ATTRIBUTE_TAG_INFO tag;
  if (!::GetFileInformationByHandleEx(handle, FileAttributeTagInfo, &tag, sizeof tag) ||
      (tag.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) {
    return Reparse::kNone;
  }
  return IsReparseTagNameSurrogate(tag.ReparseTag) ? Reparse::kLink : Reparse::kOther;
}

// What the file system knows of what `name` names (a link followed, a directory too), through
// a handle opened for its attributes only, which reads nothing. False when it cannot be had;
// `*open_error`, when asked, then holds the open's error (0 when the open succeeded), and
// `*on_disk` whether it is a disk file rather than a device or pipe.
bool AttributeInformation(const wchar_t* name, BY_HANDLE_FILE_INFORMATION* info,
                          bool* on_disk = nullptr, DWORD* open_error = nullptr) {
  const HANDLE handle = ::CreateFileW(name, FILE_READ_ATTRIBUTES, kShareAll, nullptr, OPEN_EXISTING,
                                      FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (open_error != nullptr) *open_error = handle == INVALID_HANDLE_VALUE ? ::GetLastError() : 0;
  if (handle == INVALID_HANDLE_VALUE) return false;
  const bool known = ::GetFileInformationByHandle(handle, info) != 0;
  if (on_disk != nullptr) *on_disk = ::GetFileType(handle) == FILE_TYPE_DISK;
  ::CloseHandle(handle);
  return known;
}

// Opens `path` for writing without following a symbolic link or junction standing at it: such
// a name fails to open, as with O_NOFOLLOW. Other reparse points (cloud placeholders,
// deduplicated files) are ordinary files to the user and open through their filter.
HANDLE OpenNoFollow(const char* path, DWORD access, DWORD disposition) {
  const WideName name(path);
  if (!name.valid()) return INVALID_HANDLE_VALUE;
  // FILE_FLAG_OPEN_REPARSE_POINT is not allowed with CREATE_ALWAYS: callers truncate.
  access |= FILE_READ_ATTRIBUTES;
  const HANDLE handle =
      ::CreateFileW(name.get(), access, kShareAll, nullptr, disposition,
                    FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return handle;
  const Reparse kind = ReparseKind(handle);
  if (kind == Reparse::kNone) return handle;
  ::CloseHandle(handle);
  if (kind == Reparse::kLink) {
    ::SetLastError(ERROR_CANT_ACCESS_FILE);
    return INVALID_HANDLE_VALUE;
  }
  return ::CreateFileW(name.get(), access, kShareAll, nullptr, disposition, FILE_ATTRIBUTE_NORMAL,
                       nullptr);
}

// Opens `path` for writing, through a symbolic link standing at it or refusing one. A device
// or a pipe at the name ("CON", "NUL") opens too; it is no file to write a result into.
HANDLE OpenForWriting(const char* path, DWORD access, DWORD disposition, Links links) {
  const HANDLE handle = links == Links::kRefuse
                            ? OpenNoFollow(path, access, disposition)
                            : Open(path, access, disposition, FILE_ATTRIBUTE_NORMAL);
  if (handle == INVALID_HANDLE_VALUE || ::GetFileType(handle) == FILE_TYPE_DISK) return handle;
  ::CloseHandle(handle);
  ::SetLastError(ERROR_INVALID_FUNCTION);
  return INVALID_HANDLE_VALUE;
}

bool Strikes(FaultCall kind) {
  FaultEffect effect;
  return FaultStrikes(kind, &effect);
}

std::int64_t JoinSize(DWORD high, DWORD low) {
  return static_cast<std::int64_t>((static_cast<std::uint64_t>(high) << 32) | low);
}

DWORD Chunk(std::size_t size) { return size < kMaxChunk ? static_cast<DWORD>(size) : kMaxChunk; }

// One ReadFile: the count read, 0 at the end of the file, -1 on failure.
std::int64_t ReadOnce(File& file, void* buffer, std::size_t size) {
  DWORD got = 0;
  if (!::ReadFile(Handle(file), buffer, Chunk(size), &got, nullptr)) return -1;
  return static_cast<std::int64_t>(got);
}

void IgnoreInvalidParameter(const wchar_t*, const wchar_t*, const wchar_t*, unsigned int,
                            std::uintptr_t) {}

}  // namespace

void File::Close() {
  if (handle_ == kNoHandle) return;
  ::CloseHandle(reinterpret_cast<HANDLE>(handle_));
  handle_ = kNoHandle;
}

bool CreateEmptyFile(const char* path, Links links) {
  if (Strikes(FaultCall::kCreate)) return false;
  const HANDLE handle = OpenForWriting(path, GENERIC_WRITE, OPEN_ALWAYS, links);
  if (handle == INVALID_HANDLE_VALUE) return false;
  // Opened at offset 0: the end of the file moves there.
  const bool emptied = ::SetEndOfFile(handle) != 0;
  ::CloseHandle(handle);
  return emptied;
}

File OpenForReading(const char* path) {
  if (Strikes(FaultCall::kOpen)) return File();
  // Without FILE_FLAG_BACKUP_SEMANTICS a directory does not open.
  File file = FromHandle(
      Open(path, GENERIC_READ, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN));
  // A device or a pipe ("CON", "NUL", "\\.\pipe\...") opens too; it is still no data file.
  if (file.is_open() && ::GetFileType(Handle(file)) != FILE_TYPE_DISK) file.Close();
  return file;
}

const char* TemporaryFolder() {
  static char folder[4 * (MAX_PATH + 1)];
  wchar_t wide[MAX_PATH + 1];
  const DWORD length = ::GetTempPathW(MAX_PATH + 1, wide);
  if (length == 0 || length > MAX_PATH ||
      ::WideCharToMultiByte(CP_ACP, 0, wide, -1, folder, sizeof folder, nullptr, nullptr) == 0) {
    return "(the temporary path)";
  }
  return folder;
}

File CreateTemporaryFile() {
  if (Strikes(FaultCall::kCreate)) return File();
  wchar_t folder[MAX_PATH + 1];
  wchar_t path[MAX_PATH + 1];
  const DWORD length = ::GetTempPathW(MAX_PATH + 1, folder);
  if (length == 0 || length > MAX_PATH || ::GetTempFileNameW(folder, L"u2d", 0, path) == 0) {
    return File();
  }
  const HANDLE handle =
      ::CreateFileW(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_DELETE, nullptr, CREATE_ALWAYS,
                    FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  if (handle == INVALID_HANDLE_VALUE) ::DeleteFileW(path);
  return FromHandle(handle);
}

File OpenForAppending(const char* path, Links links) {
  if (Strikes(FaultCall::kOpen)) return File();
  // Append rights without write rights: every write lands at the end of the file.
  return FromHandle(OpenForWriting(path, FILE_APPEND_DATA, OPEN_EXISTING, links));
}

File CreateNewFile(const char* path) {
  if (Strikes(FaultCall::kCreate)) return File();
  return FromHandle(Open(path, GENERIC_WRITE, CREATE_NEW, FILE_ATTRIBUTE_NORMAL));
}

bool ReplaceFile(const char* from, const char* to) {
  const WideName source(from);
  const WideName target(to);
  return source.valid() && target.valid() &&
         ::MoveFileExW(source.get(), target.get(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

bool QueryFileIdentity(const char* path, FileIdentity* identity) {
  const WideName name(path);
  BY_HANDLE_FILE_INFORMATION info;
  if (!name.valid() || !AttributeInformation(name.get(), &info)) return false;
  identity->volume = info.dwVolumeSerialNumber;
  identity->index = (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
  return true;
}

std::int64_t ReadBytes(File& file, void* buffer, std::size_t size) {
  FaultEffect effect = FaultEffect::kError;
  if (FaultStrikes(FaultCall::kRead, &effect)) {
    if (effect == FaultEffect::kError) return -1;
    return ReadOnce(file, buffer, size / 2);  // the short read: fewer bytes, and no error
  }
  auto* out = static_cast<char*>(buffer);
  std::size_t done = 0;
  while (done < size) {
    const std::int64_t got = ReadOnce(file, out + done, size - done);
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
      DWORD put = 0;
      ::WriteFile(Handle(file), bytes, Chunk(size / 2), &put, nullptr);
    }
    ::SetLastError(effect == FaultEffect::kNoSpace ? ERROR_DISK_FULL : ERROR_WRITE_FAULT);
    return false;
  }
  const auto* in = static_cast<const char*>(bytes);
  std::size_t done = 0;
  while (done < size) {
    DWORD put = 0;
    if (!::WriteFile(Handle(file), in + done, Chunk(size - done), &put, nullptr) || put == 0) {
      return false;
    }
    done += put;
  }
  return true;
}

bool SeekTo(File& file, std::int64_t offset) {
  if (Strikes(FaultCall::kSeek)) return false;
  LARGE_INTEGER target;
  target.QuadPart = offset;
  LARGE_INTEGER reached;
  return ::SetFilePointerEx(Handle(file), target, &reached, FILE_BEGIN) &&
         reached.QuadPart == offset;
}

bool QueryFileSize(const char* path, std::int64_t* size) {
  if (Strikes(FaultCall::kSize)) return false;
  const WideName name(path);
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!name.valid() || !::GetFileAttributesExW(name.get(), GetFileExInfoStandard, &data)) {
    return false;
  }
  if ((data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) {
    *size = JoinSize(data.nFileSizeHigh, data.nFileSizeLow);
    return true;
  }
  // The attributes of a link are its own; like stat, give those of what it points to.
  BY_HANDLE_FILE_INFORMATION info;
  if (!AttributeInformation(name.get(), &info)) return false;
  *size = JoinSize(info.nFileSizeHigh, info.nFileSizeLow);
  return true;
}

void RemoveFile(const char* path) {
  if (Strikes(FaultCall::kDelete)) return;
  const WideName name(path);
  if (name.valid()) ::DeleteFileW(name.get());
}

bool IsDirectory(const char* path) {
  const WideName name(path);
  if (!name.valid()) return false;
  const DWORD attributes = ::GetFileAttributesW(name.get());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool IsSymbolicLink(const char* path) {
  const WideName name(path);
  if (!name.valid()) return false;
  const DWORD attributes = ::GetFileAttributesW(name.get());
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) {
    return false;
  }
  const HANDLE handle =
      ::CreateFileW(name.get(), FILE_READ_ATTRIBUTES, kShareAll, nullptr, OPEN_EXISTING,
                    FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return false;
  const bool link = ReparseKind(handle) == Reparse::kLink;
  ::CloseHandle(handle);
  return link;
}

PathKind QueryPathKind(const char* path, std::int64_t* size) {
  const WideName name(path);
  if (!name.valid()) return PathKind::kMissing;
  // A directory opens too, and is then told apart.
  BY_HANDLE_FILE_INFORMATION info;
  bool disk = false;
  DWORD error = 0;
  if (!AttributeInformation(name.get(), &info, &disk, &error)) {
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? PathKind::kMissing
                                                                          : PathKind::kUnknown;
  }
  if (!disk || (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return PathKind::kOther;
  *size = JoinSize(info.nFileSizeHigh, info.nFileSizeLow);
  return PathKind::kRegularFile;
}

// The name of the mutex a compilation in `directory` holds: the directory's identity rather
// than its name, so that a drive letter from subst, a junction, a short name or another letter
// case all reach the same work files. False when the directory cannot be asked.
bool LockName(const wchar_t* directory, wchar_t (&name)[64]) {
  BY_HANDLE_FILE_INFORMATION info;
  if (!AttributeInformation(directory, &info)) return false;
  std::swprintf(name, 64, L"Local\\ucac2-%08lx-%08lx%08lx",
                static_cast<unsigned long>(info.dwVolumeSerialNumber),
                static_cast<unsigned long>(info.nFileIndexHigh),
                static_cast<unsigned long>(info.nFileIndexLow));
  return true;
}

bool CompilationRunsIn(const char* directory) {
  const WideName folder(directory);
  wchar_t name[64];
  if (!folder.valid() || !LockName(folder.get(), name)) return false;
  const HANDLE mutex = ::OpenMutexW(SYNCHRONIZE, FALSE, name);
  if (mutex == nullptr) return ::GetLastError() == ERROR_ACCESS_DENIED;  // another user's
  const DWORD waited = ::WaitForSingleObject(mutex, 0);
  if (waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED) ::ReleaseMutex(mutex);
  ::CloseHandle(mutex);
  return waited == WAIT_TIMEOUT;
}

bool LockWorkingDirectory() {
  wchar_t name[64];
  if (!LockName(L".", name)) return true;  // fails later, naming the file
  // The handle stays open, and so the mutex held, until the process ends; the system then
  // abandons it to the next waiter and drops it with the last handle.
  const HANDLE mutex = ::CreateMutexW(nullptr, FALSE, name);
  // Access denied: the mutex exists, made by another user's compilation that holds it.
  if (mutex == nullptr) return ::GetLastError() != ERROR_ACCESS_DENIED;
  const DWORD waited = ::WaitForSingleObject(mutex, 0);
  if (waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED) return true;
  ::CloseHandle(mutex);
  return waited != WAIT_TIMEOUT;
}

bool StandardErrorIsTerminal() {
  DWORD mode = 0;
  return ::GetConsoleMode(::GetStdHandle(STD_ERROR_HANDLE), &mode) != 0;
}

void PrepareProcess() {
  // A standard stream whose handle was closed when the process started has no descriptor:
  // the runtime's parameter check must fail a write to it, not end the process.
  _set_invalid_parameter_handler(IgnoreInvalidParameter);
  // A missing disk in a removable drive must fail the open, not wait for a dialog box.
  ::SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
}

}  // namespace ucac2
