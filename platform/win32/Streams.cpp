// Text streams over Win32 file handles; failures carry the system's error code.
#include <windows.h>

#include "WideText.h"
#include "platform/Platform.h"

namespace plat {
namespace {

constexpr IoCode kDiskFull = 101;
constexpr IoCode kNotOpenForOutput = 105;

HANDLE HandleOf(Stream stream) { return reinterpret_cast<HANDLE>(stream.handle); }

bool Usable(HANDLE handle) { return handle != nullptr && handle != INVALID_HANDLE_VALUE; }

}  // namespace

IoCode CreateLogFile(const std::string& name, Stream& out) {
  const HANDLE file = CreateFileW(win::Widen(name).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                  CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return static_cast<IoCode>(GetLastError());
  out.handle = reinterpret_cast<intptr_t>(file);
  return 0;
}

IoCode WriteStream(Stream stream, std::string_view data) {
  const HANDLE handle = HandleOf(stream);
  if (!Usable(handle)) return kNotOpenForOutput;
  while (!data.empty()) {
    DWORD written = 0;
    const DWORD size = static_cast<DWORD>(data.size() > 0x10000000 ? 0x10000000 : data.size());
    if (!WriteFile(handle, data.data(), size, &written, nullptr)) return static_cast<IoCode>(GetLastError());
    // A write that takes less than it was given has run out of room.
    if (written == 0) return kDiskFull;
    data.remove_prefix(written);
  }
  return 0;
}

IoCode CloseStream(Stream stream) {
  return CloseHandle(HandleOf(stream)) ? 0 : static_cast<IoCode>(GetLastError());
}

Stream StandardOutput() { return Stream{reinterpret_cast<intptr_t>(GetStdHandle(STD_OUTPUT_HANDLE))}; }

Stream StandardError() { return Stream{reinterpret_cast<intptr_t>(GetStdHandle(STD_ERROR_HANDLE))}; }

bool IsCharacterDevice(Stream stream) {
  const HANDLE handle = HandleOf(stream);
  return Usable(handle) && GetFileType(handle) == FILE_TYPE_CHAR;
}

}  // namespace plat
