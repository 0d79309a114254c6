// Parses any value as user.DOSATTRIB; what parses must rewrite, within the
// size Samba reads, to a value that parses back to the new word.
#include <cstddef>
#include <cstdint>

#include "platform/DosAttrib.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  uint32_t word = 0;
  const bool parsed = dosattrib::Parse(data, size, word);
  uint8_t out[dosattrib::kMaxSize];
  const size_t written = dosattrib::Rewrite(data, size, word & ~0x20u, out);
  if (!parsed && written != 0) __builtin_trap();
  if (written != 0) {
    uint32_t again = 0;
    if (!dosattrib::Parse(out, written, again) || again != (word & ~0x20u)) __builtin_trap();
  }
  return 0;
}
