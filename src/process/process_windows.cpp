// Windows implementation of the program's process layer.

#include "process/process.h"

#include <cfloat>
#include <cstdio>
#include <string>

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

namespace malha::process {
namespace {

// Status of a trap that reports several floating-point faults at once
// (SSE); not every SDK names it.
constexpr DWORD kFloatMultipleTraps = 0xC00002B5;

// The three faults that end a run; underflow, denormal operands and inexact
// results stay masked.
constexpr unsigned int kTrappedFaults = _EM_INVALID | _EM_ZERODIVIDE | _EM_OVERFLOW;

// ReadFile and WriteFile move at most a DWORD of bytes per call; larger
// transfers go in pieces of this size.
constexpr std::size_t kMaxTransfer = std::size_t{1} << 30;

FpFaultHandler g_fp_handler = nullptr;
PVOID g_fp_vectored_handler = nullptr;
// What enable_fp_traps found, put back by disable_fp_traps.
bool g_has_saved_fp_state = false;
unsigned int g_saved_fp_control = 0;
InterruptHandler g_interrupt_handler = nullptr;

HANDLE std_handle(int stream) {
  switch (stream) {
    case kStdin:
      return GetStdHandle(STD_INPUT_HANDLE);
    case kStdout:
      return GetStdHandle(STD_OUTPUT_HANDLE);
    default:
      return GetStdHandle(STD_ERROR_HANDLE);
  }
}

// Masks the traps and clears the pending flags, so that the handler's own
// arithmetic cannot fault again.
[[maybe_unused]] void mask_fp_traps() {
  unsigned int control = 0;
  _controlfp_s(&control, _MCW_EM, _MCW_EM);
  _clearfp();
}

// Not installed where the build has no trap control (MALHA_FP_TRAPS=OFF).
[[maybe_unused]] LONG CALLBACK on_fp_exception(EXCEPTION_POINTERS* info) {
  FpFault fault = FpFault::invalid;
  switch (info->ExceptionRecord->ExceptionCode) {
    case EXCEPTION_FLT_DIVIDE_BY_ZERO:
      fault = FpFault::divide_by_zero;
      break;
    case EXCEPTION_FLT_OVERFLOW:
      fault = FpFault::overflow;
      break;
    case EXCEPTION_FLT_INVALID_OPERATION:
    case EXCEPTION_FLT_DENORMAL_OPERAND:
    case EXCEPTION_FLT_INEXACT_RESULT:
    case EXCEPTION_FLT_STACK_CHECK:
    case EXCEPTION_FLT_UNDERFLOW:
    case kFloatMultipleTraps:
      fault = FpFault::invalid;
      break;
    default:
      return EXCEPTION_CONTINUE_SEARCH;
  }
  mask_fp_traps();
  if (g_fp_handler != nullptr) g_fp_handler(fault);
  ExitProcess(1);
}

// Runs on a thread of its own while the main thread goes on: the handler
// keeps the writes it cuts apart itself (write gates, system/platform.h).
BOOL WINAPI on_console_control(DWORD) {
  if (g_interrupt_handler != nullptr) g_interrupt_handler();
  return FALSE;  // the default handling ends the process
}

}  // namespace

// A write beyond a size limit or to a pipe whose reader has gone fails with
// an error code on Windows; there is no signal to turn off.
void prepare_process() {}

void set_interrupt_handler(InterruptHandler handler) {
  g_interrupt_handler = handler;
  SetConsoleCtrlHandler(on_console_control, handler != nullptr ? TRUE : FALSE);
}

bool is_char_device(int stream) {
  const HANDLE handle = std_handle(stream);
  return handle != nullptr && handle != INVALID_HANDLE_VALUE &&
         GetFileType(handle) == FILE_TYPE_CHAR;
}

void write_console(int stream, const char* data, std::size_t size) {
  const HANDLE handle = std_handle(stream);
  while (size > 0) {
    const DWORD chunk = static_cast<DWORD>(size < kMaxTransfer ? size : kMaxTransfer);
    DWORD written = 0;
    if (!WriteFile(handle, data, chunk, &written, nullptr) || written == 0) return;
    data += written;
    size -= written;
  }
}

long read_console(int stream, char* buffer, std::size_t size) {
  const DWORD chunk = static_cast<DWORD>(size < kMaxTransfer ? size : kMaxTransfer);
  DWORD got = 0;
  if (ReadFile(std_handle(stream), buffer, chunk, &got, nullptr)) return static_cast<long>(got);
  // The writing end of a pipe was closed: the end of the input.
  if (GetLastError() == ERROR_BROKEN_PIPE) return 0;
  return -1;
}

std::int64_t system_time_ticks() {
  SYSTEMTIME now {};
  GetSystemTime(&now);
  FILETIME ticks {};
  SystemTimeToFileTime(&now, &ticks);
  return static_cast<std::int64_t>((static_cast<std::uint64_t>(ticks.dwHighDateTime) << 32) |
                                   ticks.dwLowDateTime);
}

bool enable_fp_traps(FpFaultHandler handler) {
#if !defined(MALHA_NO_FP_TRAPS)
  g_fp_handler = handler;
  _controlfp_s(&g_saved_fp_control, 0, 0);
  g_has_saved_fp_state = true;
  if (g_fp_vectored_handler == nullptr) {
    g_fp_vectored_handler = AddVectoredExceptionHandler(1, on_fp_exception);
  }
  // Flags raised before the traps are unmasked would fault at once.
  _clearfp();
  unsigned int control = 0;
  _controlfp_s(&control, _MCW_EM & ~kTrappedFaults, _MCW_EM);
  return true;
#else
  // Built without trap control: the explicit finiteness check alone finds
  // the faults.
  (void)handler;
  return false;
#endif
}

void disable_fp_traps() {
  if (!g_has_saved_fp_state) return;
  g_has_saved_fp_state = false;
  mask_fp_traps();
  // The exception masks as they were before the traps.
  unsigned int control = 0;
  _controlfp_s(&control, g_saved_fp_control & _MCW_EM, _MCW_EM);
  if (g_fp_vectored_handler != nullptr) {
    RemoveVectoredExceptionHandler(g_fp_vectored_handler);
    g_fp_vectored_handler = nullptr;
  }
  g_fp_handler = nullptr;
}

std::string environment_value(const char* name) {
  // The first call gives the size with the terminating null; the value may
  // change between the calls, so ask again until it fits.
  DWORD needed = GetEnvironmentVariableA(name, nullptr, 0);
  while (needed > 0) {
    std::string value(needed, '\0');
    const DWORD length = GetEnvironmentVariableA(name, value.data(), needed);
    if (length < needed) {
      value.resize(length);
      return value;
    }
    needed = length;
  }
  return std::string();
}

int run_process(const std::string& program, const std::vector<std::string>& args) {
  // The command line is the program and its arguments joined by blanks, as
  // given: the command processor parses the rest of its line itself.
  std::string command_line = program;
  for (const std::string& arg : args) {
    command_line += ' ';
    command_line += arg;
  }

  // Whatever the program wrote must reach the console before the child's
  // output.
  std::fflush(nullptr);

  STARTUPINFOA startup {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process {};
  if (!CreateProcessA(nullptr, command_line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                      &startup, &process)) {
    return -1;
  }
  CloseHandle(process.hThread);
  WaitForSingleObject(process.hProcess, INFINITE);
  DWORD exit_code = 0;
  const BOOL has_code = GetExitCodeProcess(process.hProcess, &exit_code);
  CloseHandle(process.hProcess);
  return has_code ? static_cast<int>(exit_code) : -1;
}

}  // namespace malha::process
