// Text reaches the system only when the buffer is full, at an explicit flush,
// at the end of a statement on a console, and at the close.
#include "TextStream.h"

#include <cstring>

#include "Failure.h"

namespace {
// "The stream is not open for output".
constexpr int kNotOpenForOutput = 105;
}  // namespace

void TextStream::Open(plat::Stream stream, bool writeThrough) {
  stream_ = stream;
  writeThrough_ = writeThrough;
  open_ = true;
  used_ = 0;
}

void TextStream::Put(std::string_view text) {
  if (!open_) FailIo(kNotOpenForOutput);
  while (!text.empty()) {
    const size_t room = kBufferSize - used_;
    const size_t take = text.size() < room ? text.size() : room;
    std::memcpy(buffer_ + used_, text.data(), take);
    used_ += take;
    text.remove_prefix(take);
    if (used_ == kBufferSize) Emit();
  }
}

void TextStream::EndStatement() {
  if (writeThrough_) Emit();
}

void TextStream::Write(std::string_view text) {
  Put(text);
  EndStatement();
}

void TextStream::WriteLine(std::string_view text) {
  Put(text);
  Put("\r\n");
  EndStatement();
}

void TextStream::Flush() {
  if (!open_) FailIo(kNotOpenForOutput);
  Emit();
}

void TextStream::Close() {
  Flush();
  open_ = false;
  if (const int code = plat::CloseStream(stream_)) FailIo(code);
}

void TextStream::FlushQuietly() {
  if (open_ && used_ > 0) plat::WriteStream(stream_, std::string_view(buffer_, used_));
  used_ = 0;
}

void TextStream::Emit() {
  if (used_ == 0) return;
  const int code = plat::WriteStream(stream_, std::string_view(buffer_, used_));
  // A failed write discards what it was writing.
  used_ = 0;
  if (code) FailIo(code);
}
