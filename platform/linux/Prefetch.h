// Warms the inode cache ahead of a cold walk: a thread of its own walks the
// same tree in the same order, with its own descriptors and its own io_uring,
// and asks for every entry's inode, discarding the answers. It writes, logs,
// counts and decides nothing, so nothing the run prints or changes depends on it.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <thread>

namespace prefetch {

class Prefetcher {
 public:
  Prefetcher() = default;
  Prefetcher(const Prefetcher&) = delete;
  ~Prefetcher() { Stop(); }

  // Readies it for the root folder open as `rootFd`, which stays open while the
  // walk lasts. It starts only once the walk meets a cold cache: warm, it would
  // cost the walk a share of the processor and gain nothing.
  void Arm(int rootFd);
  // The walk has handled its `count`-th entry; the prefetcher stays within a
  // window ahead of it.
  void Handled(uint64_t count) {
    handled_.store(count, std::memory_order_relaxed);
    if (rootFd_ >= 0 && count % kCheckEvery == 0) StartIfCold();
  }
  // Stops the thread, which ends what it has in flight and closes its
  // descriptors; true when it was running. It does not start again.
  bool Stop();

 private:
  static constexpr uint64_t kCheckEvery = 64;

  void StartIfCold();
  // Where io_uring is missing or refused, or descriptors are scarce, nothing happens.
  void Start(int rootFd);

  int rootFd_ = -1;  // armed and not yet started
  long readAtArm_ = 0;
  std::chrono::steady_clock::time_point lastCheck_;
  std::thread thread_;
  std::atomic<uint64_t> handled_{0};
  std::atomic<bool> stop_{false};
};

}  // namespace prefetch
