// Warms the inode cache ahead of a cold walk: a thread of its own walks the
// same tree in the same order, with its own descriptors and its own io_uring,
// and asks for every entry's inode, discarding the answers. It writes, logs,
// counts and decides nothing, so nothing the run prints or changes depends on it.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <thread>

namespace prefetch {

class Prefetcher {
 public:
  Prefetcher() = default;
  Prefetcher(const Prefetcher&) = delete;
  ~Prefetcher() { Stop(); }

  // Starts on the root folder open as `rootFd`; where io_uring is missing or
  // refused, or descriptors are scarce, nothing happens.
  void Start(int rootFd);
  // The walk has handled its `count`-th entry; the prefetcher stays within a
  // window ahead of it.
  void Handled(uint64_t count) { handled_.store(count, std::memory_order_relaxed); }
  // Stops the thread, which ends what it has in flight and closes its
  // descriptors; true when it was running.
  bool Stop();

 private:
  std::thread thread_;
  std::atomic<uint64_t> handled_{0};
  std::atomic<bool> stop_{false};
};

}  // namespace prefetch
