// Windows implementation of the library's platform layer.

#include "system/platform.h"

#include <bit>
#include <cstdio>
#include <string>

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
// After windows.h, which it needs.
#include <aclapi.h>

namespace malha::platform {
namespace {

// ReadFile and WriteFile move at most a DWORD of bytes per call; larger
// transfers go in pieces of this size.
constexpr std::size_t kMaxTransfer = std::size_t{1} << 30;

HANDLE as_handle(FileHandle file) { return reinterpret_cast<HANDLE>(file); }

int last_error() { return static_cast<int>(GetLastError()); }

}  // namespace

unsigned usable_processors() {
  DWORD_PTR process_mask = 0;
  DWORD_PTR system_mask = 0;
  if (!GetProcessAffinityMask(GetCurrentProcess(), &process_mask, &system_mask)) return 0;
  return static_cast<unsigned>(std::popcount(static_cast<std::uint64_t>(process_mask)));
}

std::uint64_t obtainable_memory_bytes() {
  MEMORYSTATUSEX status {};
  status.dwLength = sizeof(status);
  if (!GlobalMemoryStatusEx(&status)) return UINT64_MAX;
  // The commit limit: physical memory plus the paging files.
  return status.ullTotalPageFile;
}

void supply_pages(void* /*start*/, std::size_t /*size*/) {
  // The pages come one fault at a time, as the system gives them.
}

FileHandle open_for_writing(const char* name, int& os_error) {
  const HANDLE handle = CreateFileA(name, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                    nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    os_error = last_error();
    return kNoFile;
  }
  return reinterpret_cast<FileHandle>(handle);
}

FileHandle create_new_file(const char* name, int& os_error) {
  // CREATE_NEW fails on any file of that name, a link included, which it
  // does not follow.
  const HANDLE handle =
      CreateFileA(name, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, CREATE_NEW,
                  FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    os_error = last_error();
    return kNoFile;
  }
  return reinterpret_cast<FileHandle>(handle);
}

bool is_name_taken(int os_error) {
  return os_error == ERROR_FILE_EXISTS || os_error == ERROR_ALREADY_EXISTS;
}

bool cut_file(FileHandle file, std::uint64_t length, int& os_error) {
  const HANDLE handle = as_handle(file);
  if (GetFileType(handle) != FILE_TYPE_DISK) return true;
  LARGE_INTEGER size {};
  if (!GetFileSizeEx(handle, &size)) {
    os_error = last_error();
    return false;
  }
  if (static_cast<std::uint64_t>(size.QuadPart) <= length) return true;
  // The file position goes back to the end afterwards: writing goes on where
  // it was.
  LARGE_INTEGER zero {};
  LARGE_INTEGER position {};
  LARGE_INTEGER cut {};
  cut.QuadPart = static_cast<LONGLONG>(length);
  if (!SetFilePointerEx(handle, zero, &position, FILE_CURRENT) ||
      !SetFilePointerEx(handle, cut, nullptr, FILE_BEGIN) || !SetEndOfFile(handle) ||
      !SetFilePointerEx(handle, position, nullptr, FILE_BEGIN)) {
    os_error = last_error();
    return false;
  }
  return true;
}

void reserve_file_space(FileHandle file, std::uint64_t size) {
  const HANDLE handle = as_handle(file);
  if (GetFileType(handle) != FILE_TYPE_DISK) return;
  LARGE_INTEGER current {};
  if (!GetFileSizeEx(handle, &current) || static_cast<std::uint64_t>(current.QuadPart) >= size) {
    return;
  }
  FILE_ALLOCATION_INFO allocation {};
  allocation.AllocationSize.QuadPart = static_cast<LONGLONG>(size);
  SetFileInformationByHandle(handle, FileAllocationInfo, &allocation, sizeof(allocation));
}

namespace {

// Gives the new file the old one's own access rules, where it has rules of
// its own rather than only those it inherits from its folder. Failures are
// ignored: the new file then has its folder's rules.
void copy_access_rules(HANDLE from, HANDLE to) {
  PACL rules = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (GetSecurityInfo(from, SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, &rules,
                      nullptr, &descriptor) != ERROR_SUCCESS) {
    return;
  }
  SECURITY_DESCRIPTOR_CONTROL control = 0;
  DWORD revision = 0;
  if (rules != nullptr && GetSecurityDescriptorControl(descriptor, &control, &revision) &&
      (control & SE_DACL_PROTECTED) != 0) {
    SetSecurityInfo(to, SE_FILE_OBJECT,
                    DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION, nullptr,
                    nullptr, rules, nullptr);
  }
  LocalFree(descriptor);
}

}  // namespace

Replacement replace_with_empty_file(const char* /*name*/, FileHandle& file,
                                    const std::string& hidden_part, FileHandle* old_file) {
  // The old handle is closed in every case: a file that this process holds
  // open cannot be replaced.
  if (old_file != nullptr) *old_file = kNoFile;
  // The open handle names the file itself, through any symbolic link.
  const HANDLE old_handle = as_handle(file);
  if (GetFileType(old_handle) != FILE_TYPE_DISK) return Replacement::kept;
  BY_HANDLE_FILE_INFORMATION info {};
  if (!GetFileInformationByHandle(old_handle, &info)) return Replacement::not_possible;
  // An empty file has no old content to keep apart from this run's bytes.
  if (info.nFileSizeHigh == 0 && info.nFileSizeLow == 0) return Replacement::replaced;
  std::wstring target(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length =
        GetFinalPathNameByHandleW(old_handle, target.data(), static_cast<DWORD>(target.size()),
                                  FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    if (length == 0) return Replacement::not_possible;
    if (length < target.size()) {
      target.resize(length);
      break;
    }
    target.resize(length + 1);
  }
  const std::size_t slash = target.find_last_of(L"\\/");
  if (slash == std::wstring::npos) return Replacement::not_possible;
  const std::wstring temporary = target.substr(0, slash + 1) + L"." + target.substr(slash + 1) +
                                 L"." + std::wstring(hidden_part.begin(), hidden_part.end()) + L".tmp";
  const DWORD attributes =
      info.dwFileAttributes & (FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_HIDDEN |
                               FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED);
  const HANDLE new_handle =
      CreateFileW(temporary.c_str(), GENERIC_WRITE | DELETE | WRITE_DAC,
                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, CREATE_NEW,
                  attributes != 0 ? attributes : FILE_ATTRIBUTE_NORMAL, nullptr);
  if (new_handle == INVALID_HANDLE_VALUE) return Replacement::not_possible;
  copy_access_rules(old_handle, new_handle);
  // A file that this process holds open cannot be replaced.
  CloseHandle(old_handle);
  if (!MoveFileExW(temporary.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING)) {
    CloseHandle(new_handle);
    DeleteFileW(temporary.c_str());
    // The old file again, to be written over; if it cannot be opened, the
    // first write fails with the WRITE report.
    const HANDLE reopened = CreateFileW(target.c_str(), GENERIC_WRITE,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    file = reopened != INVALID_HANDLE_VALUE ? reinterpret_cast<FileHandle>(reopened) : kNoFile;
    return Replacement::not_possible;
  }
  file = reinterpret_cast<FileHandle>(new_handle);
  return Replacement::replaced;
}

// Output files are not read back here: the replacement must close the old
// file before it can take its name, so its content could not be copied into
// the new one. A rerun replaces each file at its first block.
long read_file_at(FileHandle /*file*/, std::uint64_t /*offset*/, char* /*buffer*/,
                  std::size_t /*size*/) {
  return -1;
}

bool copy_file_start(FileHandle /*from*/, FileHandle /*to*/, std::uint64_t /*length*/,
                     int& os_error) {
  os_error = ERROR_NOT_SUPPORTED;
  return false;
}

bool set_file_position(FileHandle file, std::uint64_t offset, int& os_error) {
  LARGE_INTEGER distance {};
  distance.QuadPart = static_cast<LONGLONG>(offset);
  if (!SetFilePointerEx(as_handle(file), distance, nullptr, FILE_BEGIN)) {
    os_error = last_error();
    return false;
  }
  return true;
}

void mark_modified(FileHandle file) {
  FILETIME now {};
  GetSystemTimeAsFileTime(&now);
  SetFileTime(as_handle(file), nullptr, nullptr, &now);
}

namespace {

// The longest close_write_gate waits for a write in progress: a write that
// hangs (a pipe that nobody reads) must not keep an interrupt from ending
// the process.
constexpr int kGateWaitMs = 2000;

}  // namespace

// The interrupt handler runs on a thread of its own (the console's control
// events) while the main thread goes on writing.
void enter_write_gate(WriteGate& gate) noexcept {
  gate.writers.fetch_add(1);
  if (!gate.is_closed.load()) return;
  // The file has been cut for an interrupt, which is ending the process:
  // nothing more may be written.
  gate.writers.fetch_sub(1);
  for (;;) Sleep(INFINITE);
}

void leave_write_gate(WriteGate& gate) noexcept { gate.writers.fetch_sub(1); }

void close_write_gate(WriteGate& gate) noexcept {
  gate.is_closed.store(true);
  for (int waited = 0; waited < kGateWaitMs && gate.writers.load() > 0; ++waited) Sleep(1);
}

// The console's control events come on a thread of their own, never on a
// thread that writes: there is no signal mask to set.
void start_without_signals(void (*start)(void*), void* context) { start(context); }

bool write_file(FileHandle file, const char* data, std::size_t size, int& os_error) {
  const HANDLE handle = as_handle(file);
  while (size > 0) {
    const DWORD chunk = static_cast<DWORD>(size < kMaxTransfer ? size : kMaxTransfer);
    DWORD written = 0;
    if (!WriteFile(handle, data, chunk, &written, nullptr)) {
      os_error = last_error();
      return false;
    }
    if (written == 0) {
      os_error = ERROR_DISK_FULL;
      return false;
    }
    data += written;
    size -= written;
  }
  return true;
}

bool close_file(FileHandle file, int& os_error) {
  if (!CloseHandle(as_handle(file))) {
    os_error = last_error();
    return false;
  }
  return true;
}

FileHandle open_for_reading(const char* name, int& os_error) {
  const HANDLE handle = CreateFileA(name, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    os_error = last_error();
    return kNoFile;
  }
  // A pipe or a device is not read back: only a file on a disk has a size.
  if (GetFileType(handle) != FILE_TYPE_DISK) {
    CloseHandle(handle);
    os_error = kNotARegularFile;
    return kNoFile;
  }
  return reinterpret_cast<FileHandle>(handle);
}

long read_file(FileHandle file, char* buffer, std::size_t size, int& os_error) {
  const DWORD chunk = static_cast<DWORD>(size < kMaxTransfer ? size : kMaxTransfer);
  DWORD got = 0;
  if (!ReadFile(as_handle(file), buffer, chunk, &got, nullptr)) {
    if (GetLastError() == ERROR_BROKEN_PIPE) return 0;
    os_error = last_error();
    return -1;
  }
  return static_cast<long>(got);
}

bool file_size(FileHandle file, std::uint64_t& size, int& os_error) {
  LARGE_INTEGER bytes {};
  if (!GetFileSizeEx(as_handle(file), &bytes)) {
    os_error = last_error();
    return false;
  }
  size = bytes.QuadPart > 0 ? static_cast<std::uint64_t>(bytes.QuadPart) : 0;
  return true;
}

bool rename_file(const char* from, const char* to, int& os_error) {
  if (!MoveFileExA(from, to, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    os_error = last_error();
    return false;
  }
  return true;
}

bool remove_file(const char* name, int& os_error) {
  if (!DeleteFileA(name)) {
    os_error = last_error();
    return false;
  }
  return true;
}

namespace {

// The byte a writer's hold locks: far past any end of file, so that the lock
// blocks no read or write of the file's bytes.
OVERLAPPED hold_place() {
  OVERLAPPED place {};
  place.Offset = 0xFFFFFFFEu;
  place.OffsetHigh = 0x7FFFFFFFu;
  return place;
}

// The hold: an exclusive lock of that byte, taken without waiting; it lasts
// until the last handle of the file object is closed.
bool take_hold(HANDLE handle) {
  OVERLAPPED place = hold_place();
  return LockFileEx(handle, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0,
                    &place) != 0;
}

}  // namespace

// A cleanup that took the new file first holds it, or has marked it for
// deletion (the name stays until every handle is closed).
FileHandle hold_new_file(const char* /*name*/, FileHandle file) {
  const HANDLE handle = reinterpret_cast<HANDLE>(file);
  if (!take_hold(handle)) return kNoFile;
  FILE_STANDARD_INFO info {};
  if (GetFileInformationByHandleEx(handle, FileStandardInfo, &info, sizeof(info)) &&
      info.DeletePending) {
    return kNoFile;
  }
  HANDLE hold = INVALID_HANDLE_VALUE;
  if (!DuplicateHandle(GetCurrentProcess(), handle, GetCurrentProcess(), &hold, 0, FALSE,
                       DUPLICATE_SAME_ACCESS)) {
    return kNoFile;
  }
  return reinterpret_cast<FileHandle>(hold);
}

// The new file shares deletion (create_new_file), so it is renamed and
// removed while the hold is open.
bool rename_held_file(FileHandle hold, const char* from, const char* to, int& os_error) {
  const bool is_renamed = rename_file(from, to, os_error);
  CloseHandle(reinterpret_cast<HANDLE>(hold));
  return is_renamed;
}

void remove_held_file(FileHandle hold, const char* name) {
  DeleteFileA(name);
  CloseHandle(reinterpret_cast<HANDLE>(hold));
}

bool remove_unheld_file(const char* name, int& os_error) {
  const HANDLE handle =
      CreateFileA(name, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                  nullptr, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    if (error == ERROR_FILE_NOT_FOUND) return true;
    // A file that cannot be read: no writer of ours holds it.
    return remove_file(name, os_error);
  }
  bool is_removed = false;
  if (!take_hold(handle)) {
    os_error = ERROR_LOCK_VIOLATION;
  } else {
    is_removed = remove_file(name, os_error);
  }
  CloseHandle(handle);
  return is_removed;
}

std::string describe_os_error(int os_error) {
  if (os_error == kNotARegularFile) return "not a regular file";
  char* text = nullptr;
  const DWORD length = FormatMessageA(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, static_cast<DWORD>(os_error), 0, reinterpret_cast<LPSTR>(&text), 0, nullptr);
  if (length == 0 || text == nullptr) return "system error " + std::to_string(os_error);
  std::string description(text, length);
  LocalFree(text);
  // The system's messages end with a line end; the report adds its own.
  while (!description.empty() &&
         (description.back() == '\r' || description.back() == '\n' || description.back() == ' ')) {
    description.pop_back();
  }
  return description;
}

}  // namespace malha::platform
