// Samba's user.DOSATTRIB value: the plain hex text of Samba 3.0-3.4 and Wine,
// and the NDR blob of versions 1 to 5 (Samba 3.5 on, ksmbd). Pure functions.
#pragma once

#include <cstddef>
#include <cstdint>

namespace dosattrib {

// Samba reads at most this much of the value; a larger one carries no attributes for it.
constexpr size_t kMaxSize = 256;

// The attribute word as Samba reads it; false for a value Samba cannot parse.
bool Parse(const uint8_t* data, size_t size, uint32_t& attributes);

// Lays the value out again with the attribute word `attributes`, every other
// byte and field as it was; a hex text, where the value has one, is rewritten
// to match, so the value may grow (a text that disagreed with the word).
// Writes at most kMaxSize bytes to `out` and returns their count; 0 when the
// value cannot be parsed, or would grow past what Samba reads.
size_t Rewrite(const uint8_t* data, size_t size, uint32_t attributes, uint8_t* out);

}  // namespace dosattrib
