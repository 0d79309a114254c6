// The prefetcher over io_uring: STATX for every file and subfolder, up to
// kInFlight at once, within kWindow entries ahead of the walk.
#include "Prefetch.h"

#include <dirent.h>
#include <fcntl.h>
#include <liburing.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <system_error>
#include <vector>

namespace prefetch {
namespace {

constexpr unsigned kInFlight = 256;
// Far enough ahead to keep the device busy, near enough that what it warms is
// still cached when the walk arrives.
constexpr uint64_t kWindow = 32768;
constexpr size_t kBatchSize = 64 * 1024;
constexpr int kMaxDescriptors = 64;

// A folder the prefetcher reads; its descriptor stays open while a request
// that names it is in flight.
struct Folder {
  int fd;
  unsigned pending = 0;
  bool done = false;
};

struct Request {
  Folder* folder = nullptr;
  char name[256];
  struct statx result;
};

class Walker {
 public:
  Walker(const std::atomic<uint64_t>& handled, const std::atomic<bool>& stop, int descriptors)
      : handled_(handled), stop_(stop), descriptors_(descriptors) {}

  Walker(const Walker&) = delete;
  ~Walker() {
    if (ready_) io_uring_queue_exit(&ring_);
  }

  bool Init() {
    free_.reserve(kInFlight);
    for (unsigned i = 0; i < kInFlight; ++i) free_.push_back(&requests_[i]);
    ready_ = io_uring_queue_init(kInFlight, &ring_, 0) == 0;
    return ready_;
  }

  void Run(int rootFd) {
    try {
      Descend(rootFd);
    } catch (const std::bad_alloc&) {
      // Memory is short: the walk needs it more than the warming does.
    }
    // Whatever is still in flight is waited for, so that no request outlives its folder.
    while (inFlight_ > 0) Reap(true);
  }

 private:
  // Walks the folder open as `fd`; it is finished however the walk ends.
  void Descend(int fd) {
    Folder* folder = new (std::nothrow) Folder{fd};
    if (!folder) {
      close(fd);
      --open_;
      throw std::bad_alloc();
    }
    struct Finisher {
      Walker& walker;
      Folder* folder;
      ~Finisher() { walker.Finish(folder); }
    } finisher{*this, folder};
    Walk(*folder);
  }

  void Walk(Folder& folder) {
    std::vector<std::string> subfolders;
    for (;;) {
      const ssize_t got = getdents64(folder.fd, batch_.get(), kBatchSize);
      if (got <= 0) break;
      for (ssize_t at = 0; at < got;) {
        const auto* entry = reinterpret_cast<const dirent64*>(batch_.get() + at);
        at += entry->d_reclen;
        // The walk counts every entry it is given, the dots too.
        ++seen_;
        if (std::strcmp(entry->d_name, ".") == 0 || std::strcmp(entry->d_name, "..") == 0) continue;
        if (!WaitForWindow()) return;
        // Started late, it skips what the walk has already passed.
        if (seen_ > handled_.load(std::memory_order_relaxed)) Ask(folder, entry->d_name);
        if (entry->d_type == DT_DIR) subfolders.emplace_back(entry->d_name);
      }
    }
    for (const std::string& name : subfolders) {
      if (stop_.load(std::memory_order_relaxed)) return;
      // Deeper than its share of descriptors, the prefetcher leaves the rest to the walk.
      if (open_ >= descriptors_) continue;
      const int fd = openat(folder.fd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
      if (fd < 0) continue;
      ++open_;
      Descend(fd);
    }
  }

  // Waits while the prefetcher is a window ahead of the walk; false once it is to stop.
  bool WaitForWindow() {
    while (!stop_.load(std::memory_order_relaxed)) {
      if (seen_ < handled_.load(std::memory_order_relaxed) + kWindow) return true;
      Reap(false);
      std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    return false;
  }

  void Ask(Folder& folder, const char* name) {
    while (free_.empty()) Reap(true);
    Request* request = free_.back();
    io_uring_sqe* sqe = io_uring_get_sqe(&ring_);
    if (!sqe) {
      io_uring_submit(&ring_);
      sqe = io_uring_get_sqe(&ring_);
      if (!sqe) return;
    }
    free_.pop_back();
    request->folder = &folder;
    std::strncpy(request->name, name, sizeof request->name - 1);
    request->name[sizeof request->name - 1] = '\0';
    io_uring_prep_statx(sqe, folder.fd, request->name, AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT,
                        STATX_BASIC_STATS, &request->result);
    io_uring_sqe_set_data(sqe, request);
    ++folder.pending;
    ++inFlight_;
    if (++unsubmitted_ >= 16) Submit();
  }

  void Submit() {
    io_uring_submit(&ring_);
    unsubmitted_ = 0;
  }

  // Takes the answers in, discarding them; with `wait`, at least one.
  void Reap(bool wait) {
    if (unsubmitted_ > 0) Submit();
    io_uring_cqe* cqe = nullptr;
    if (wait && inFlight_ > 0 && io_uring_wait_cqe(&ring_, &cqe) != 0) return;
    while (io_uring_peek_cqe(&ring_, &cqe) == 0) {
      auto* request = static_cast<Request*>(io_uring_cqe_get_data(cqe));
      io_uring_cqe_seen(&ring_, cqe);
      --inFlight_;
      Folder* folder = request->folder;
      free_.push_back(request);
      if (--folder->pending == 0 && folder->done) Close(folder);
    }
  }

  void Finish(Folder* folder) {
    folder->done = true;
    if (folder->pending == 0) Close(folder);
  }

  void Close(Folder* folder) {
    close(folder->fd);
    --open_;
    delete folder;
  }

  const std::atomic<uint64_t>& handled_;
  const std::atomic<bool>& stop_;
  const int descriptors_;
  io_uring ring_{};
  bool ready_ = false;
  Request requests_[kInFlight];
  std::vector<Request*> free_;
  std::unique_ptr<char[]> batch_{new char[kBatchSize]};
  uint64_t seen_ = 0;
  unsigned inFlight_ = 0;
  unsigned unsubmitted_ = 0;
  int open_ = 1;  // the root
};

}  // namespace

void Prefetcher::Arm(int rootFd) {
  struct rusage usage;
  if (getrusage(RUSAGE_THREAD, &usage) != 0) return;
  rootFd_ = rootFd;
  readAtArm_ = usage.ru_inblock;
  lastCheck_ = std::chrono::steady_clock::now();
}

void Prefetcher::StartIfCold() {
  // Cold is the walk itself reading more from the disk than a stray block or
  // two, or entries coming slower than any warm cache gives them (a network or
  // FUSE file system).
  constexpr long kColdSectors = 256;  // 128 KiB
  constexpr auto kSlow = std::chrono::milliseconds(10);
  struct rusage usage;
  const auto now = std::chrono::steady_clock::now();
  const bool read = getrusage(RUSAGE_THREAD, &usage) == 0 && usage.ru_inblock - readAtArm_ > kColdSectors;
  const bool slow = now - lastCheck_ > kSlow;
  lastCheck_ = now;
  if (!read && !slow) return;
  const int fd = rootFd_;
  rootFd_ = -1;
  Start(fd);
}

void Prefetcher::Start(int rootFd) {
  // Its own descriptors are few, so that the walk never runs short because of it.
  struct rlimit files;
  if (getrlimit(RLIMIT_NOFILE, &files) != 0) return;
  const rlim_t share = files.rlim_cur / 16;
  const int descriptors = share < kMaxDescriptors ? static_cast<int>(share) : kMaxDescriptors;
  if (descriptors < 4) return;
  // A descriptor of its own: a duplicate would share the walk's place in the listing.
  const int fd = openat(rootFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  // Short of memory or threads, the walk goes on without it.
  try {
    auto walker = std::make_unique<Walker>(handled_, stop_, descriptors);
    if (walker->Init()) {
      thread_ = std::thread([walker = std::move(walker), fd] { walker->Run(fd); });
      return;
    }
  } catch (const std::bad_alloc&) {
  } catch (const std::system_error&) {
  }
  close(fd);
}

bool Prefetcher::Stop() {
  rootFd_ = -1;
  if (!thread_.joinable()) return false;
  stop_.store(true, std::memory_order_relaxed);
  thread_.join();
  return true;
}

}  // namespace prefetch
