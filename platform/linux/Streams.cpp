// Text streams over file descriptors, with errno turned into the run's I/O codes.
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "platform/Platform.h"

namespace plat {
namespace {

// The errors that have a code of their own; every other keeps its number, so
// that EIO (5) is never taken for "File access denied".
IoError FromErrno(int error) {
  switch (error) {
    case ENOENT:
      return Fails(IoCode::FileNotFound);
    case ENOTDIR:
    case ENAMETOOLONG:
      return Fails(IoCode::InvalidFilename);
    case EMFILE:
    case ENFILE:
      return Fails(IoCode::TooManyOpenFiles);
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR:
      return Fails(IoCode::AccessDenied);
    case ENOSPC:
    case EDQUOT:
      return Fails(IoCode::DiskFull);
    case EPIPE:
    case EBADF:
      return Fails(IoCode::NotOpenForOutput);
    default:
      return SystemError(error);
  }
}

bool FolderOfExists(const std::string& name) {
  const size_t slash = name.rfind('/');
  if (slash == std::string::npos) return true;
  struct stat info;
  const std::string folder = slash == 0 ? "/" : name.substr(0, slash);
  return stat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

int Descriptor(Stream stream) { return static_cast<int>(stream.handle); }

}  // namespace

IoError CreateLogFile(const std::string& name, Stream& out) {
  const int fd = open(name.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) {
    const int error = errno;
    // A missing folder is a bad file name, as the system that defined these codes says.
    if (error == ENOENT && !FolderOfExists(name)) return Fails(IoCode::InvalidFilename);
    return FromErrno(error);
  }
  out.handle = fd;
  return Ok();
}

IoError WriteStream(Stream stream, std::string_view data) {
  if (stream.Missing()) return Fails(IoCode::NotOpenForOutput);
  while (!data.empty()) {
    const ssize_t done = write(Descriptor(stream), data.data(), data.size());
    if (done < 0) {
      if (errno == EINTR) continue;
      // A non-blocking descriptor handed down by the caller: wait until it takes more.
      if (errno == EAGAIN || errno == EWOULDBLOCK) {
        pollfd ready{Descriptor(stream), POLLOUT, 0};
        if (poll(&ready, 1, -1) >= 0 || errno == EINTR) continue;
      }
      return FromErrno(errno);
    }
    data.remove_prefix(static_cast<size_t>(done));
  }
  return Ok();
}

IoError CloseStream(Stream stream) { return close(Descriptor(stream)) == 0 ? Ok() : FromErrno(errno); }

bool IsCharacterDevice(Stream stream) {
  struct stat info;
  return !stream.Missing() && fstat(Descriptor(stream), &info) == 0 && S_ISCHR(info.st_mode);
}

}  // namespace plat
