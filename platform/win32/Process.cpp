// The process on Windows: the command line split from GetCommandLineA,
// switches with "-" or "/", the OEM console, and processor faults reported.
#include <windows.h>

#include "CmdLin.h"
#include "platform/Platform.h"

namespace plat {
namespace {

void (*g_report)(const Fault&, void*) = nullptr;
void* g_context = nullptr;

LONG WINAPI OnFault(EXCEPTION_POINTERS* pointers) {
  const EXCEPTION_RECORD& record = *pointers->ExceptionRecord;
  if (record.ExceptionCode != EXCEPTION_ACCESS_VIOLATION && record.ExceptionCode != EXCEPTION_IN_PAGE_ERROR &&
      record.ExceptionCode != EXCEPTION_STACK_OVERFLOW &&
      record.ExceptionCode != EXCEPTION_ILLEGAL_INSTRUCTION &&
      record.ExceptionCode != EXCEPTION_INT_DIVIDE_BY_ZERO)
    return EXCEPTION_CONTINUE_SEARCH;
  Fault fault{};
  const auto pc = reinterpret_cast<uintptr_t>(record.ExceptionAddress);
  if (record.NumberParameters >= 2) {
    fault.write = record.ExceptionInformation[0] == 1;
    fault.dataAddress = record.ExceptionInformation[1];
  }
  HMODULE module = nullptr;
  fault.inModule = GetModuleHandleExA(
                       GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCSTR>(pc), &module) &&
                   module == GetModuleHandleA(nullptr);
  fault.codeAddress = fault.inModule ? pc - reinterpret_cast<uintptr_t>(module) : pc;
  if (g_report) g_report(fault, g_context);
  ExitProcess(1);
}

// A process started without a handle gets null, the invalid handle, or one
// that names nothing at all: missing, all three.
Stream Standard(DWORD which) {
  const HANDLE handle = GetStdHandle(which);
  if (handle == nullptr || handle == INVALID_HANDLE_VALUE) return Stream{};
  SetLastError(NO_ERROR);
  if (GetFileType(handle) == FILE_TYPE_UNKNOWN && GetLastError() == ERROR_INVALID_HANDLE) return Stream{};
  return Stream{reinterpret_cast<intptr_t>(handle)};
}

}  // namespace

char PathDelimiter() { return '\\'; }
std::string_view SwitchChars() { return "-/"; }
char HelpSwitchChar() { return '/'; }
bool LongOptions() { return false; }
bool UpperCaseRoot() { return true; }

std::vector<std::string> CommandArguments(int, char**) {
  bool leadBytes[256] = {};
  for (int c = 0x80; c < 256; ++c) leadBytes[c] = IsDBCSLeadByte(static_cast<BYTE>(c)) != 0;
  return SplitCommandLine(GetCommandLineA(), leadBytes);
}

std::string ModuleFileName() {
  char path[MAX_PATH + 1];
  const DWORD size = GetModuleFileNameA(nullptr, path, MAX_PATH);
  const std::string full(path, size);
  const size_t slash = full.find_last_of("\\/:");
  return slash == std::string::npos ? full : full.substr(slash + 1);
}

std::string ToConsoleCodePage(std::string_view text) {
  std::string oem(text);
  if (!oem.empty()) CharToOemBuffA(oem.data(), oem.data(), static_cast<DWORD>(oem.size()));
  return oem;
}

StandardStreams PrepareProcess(void (*report)(const Fault&, void*), void* context) {
  g_report = report;
  g_context = context;
  // No dialog boxes for drives that are not ready: a script is waiting.
  SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
  SetUnhandledExceptionFilter(OnFault);
  return {Standard(STD_OUTPUT_HANDLE), Standard(STD_ERROR_HANDLE)};
}

}  // namespace plat
