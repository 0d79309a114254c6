// Text reaches the system only when the buffer is full, at an explicit flush,
// at the end of a statement on a console, and at the close.
#include "TextStream.h"

#include <cstring>

#include "Failure.h"

void TextStream::Open(plat::Stream stream, bool writeThrough) {
  stream_ = stream;
  writeThrough_ = writeThrough;
  open_ = true;
  used_ = 0;
}

void TextStream::Put(std::string_view text) {
  // A standard stream that was missing at start fails at its first write.
  if (!open_ || stream_.Missing()) FailIo(Fails(IoCode::NotOpenForOutput));
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
  if (!open_) FailIo(Fails(IoCode::NotOpenForOutput));
  Emit();
}

void TextStream::Close() {
  Flush();
  open_ = false;
  if (const IoError error = plat::CloseStream(stream_)) FailIo(error);
}

void TextStream::FlushQuietly() {
  if (open_ && used_ > 0) plat::WriteStream(stream_, std::string_view(buffer_, used_));
  used_ = 0;
}

void TextStream::Emit() {
  if (used_ == 0) return;
  const IoError error = plat::WriteStream(stream_, std::string_view(buffer_, used_));
  // A failed write discards what it was writing.
  used_ = 0;
  if (error) FailIo(error);
}
