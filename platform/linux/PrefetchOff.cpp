// Built without liburing: the walk goes alone, as it does wherever io_uring is refused.
#include "Prefetch.h"

namespace prefetch {

void Prefetcher::Arm(int) {}
void Prefetcher::StartIfCold() {}
bool Prefetcher::Stop() { return false; }

}  // namespace prefetch
