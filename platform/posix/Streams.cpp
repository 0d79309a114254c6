// Text streams over file descriptors, with errno turned into the run's I/O codes.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "platform/Platform.h"

namespace plat {
namespace {

IoCode CodeFromErrno(int error) {
  switch (error) {
    case ENOENT: return 2;
    case ENOTDIR: case ENAMETOOLONG: return 3;
    case EMFILE: case ENFILE: return 4;
    case EACCES: case EPERM: case EROFS: case EISDIR: return 5;
    case ENOSPC: case EDQUOT: return 101;
    case EPIPE: case EBADF: return 105;
    default: return error;
  }
}

bool FolderOfExists(const std::string& name) {
  const size_t slash = name.rfind('/');
  if (slash == std::string::npos) return true;
  struct stat info;
  const std::string folder = slash == 0 ? "/" : name.substr(0, slash);
  return stat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

}  // namespace

IoCode CreateLogFile(const std::string& name, Stream& out) {
  const int fd = open(name.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) {
    const int error = errno;
    // A missing folder is a bad file name, as the system that defined these codes says.
    if (error == ENOENT && !FolderOfExists(name)) return 3;
    return CodeFromErrno(error);
  }
  out.handle = fd;
  return 0;
}

IoCode WriteStream(Stream stream, std::string_view data) {
  while (!data.empty()) {
    const ssize_t done = write(static_cast<int>(stream.handle), data.data(), data.size());
    if (done < 0) {
      if (errno == EINTR) continue;
      return CodeFromErrno(errno);
    }
    data.remove_prefix(static_cast<size_t>(done));
  }
  return 0;
}

IoCode CloseStream(Stream stream) {
  return close(static_cast<int>(stream.handle)) == 0 ? 0 : CodeFromErrno(errno);
}

Stream StandardOutput() { return Stream{STDOUT_FILENO}; }

Stream StandardError() { return Stream{STDERR_FILENO}; }

bool IsCharacterDevice(Stream stream) {
  struct stat info;
  return fstat(static_cast<int>(stream.handle), &info) == 0 && S_ISCHR(info.st_mode);
}

}  // namespace plat
