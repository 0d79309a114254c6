// Text streams over Win32 file handles; failures carry the system's error code.
#include <windows.h>

#include "WideText.h"
#include "platform/Platform.h"

namespace plat {
namespace {

HANDLE HandleOf(Stream stream) { return reinterpret_cast<HANDLE>(stream.handle); }

// The system's codes 2 to 5 are the run's own; every other keeps its number.
IoError FromLastError() {
  const DWORD error = GetLastError();
  switch (error) {
    case ERROR_FILE_NOT_FOUND:
      return Fails(IoCode::FileNotFound);
    case ERROR_PATH_NOT_FOUND:
      return Fails(IoCode::InvalidFilename);
    case ERROR_TOO_MANY_OPEN_FILES:
      return Fails(IoCode::TooManyOpenFiles);
    case ERROR_ACCESS_DENIED:
      return Fails(IoCode::AccessDenied);
    default:
      return SystemError(static_cast<int>(error));
  }
}

}  // namespace

IoError CreateLogFile(const std::string& name, Stream& out) {
  const HANDLE file = CreateFileW(win::Widen(name).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                  CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return FromLastError();
  out.handle = reinterpret_cast<intptr_t>(file);
  return Ok();
}

IoError WriteStream(Stream stream, std::string_view data) {
  if (stream.Missing()) return Fails(IoCode::NotOpenForOutput);
  while (!data.empty()) {
    DWORD written = 0;
    const DWORD size = static_cast<DWORD>(data.size() > 0x10000000 ? 0x10000000 : data.size());
    if (!WriteFile(HandleOf(stream), data.data(), size, &written, nullptr)) return FromLastError();
    // A write that takes less than it was given has run out of room.
    if (written == 0) return Fails(IoCode::DiskFull);
    data.remove_prefix(written);
  }
  return Ok();
}

IoError CloseStream(Stream stream) { return CloseHandle(HandleOf(stream)) ? Ok() : FromLastError(); }

bool IsCharacterDevice(Stream stream) {
  return !stream.Missing() && GetFileType(HandleOf(stream)) == FILE_TYPE_CHAR;
}

}  // namespace plat
