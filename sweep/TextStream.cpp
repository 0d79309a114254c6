// Text reaches the sink only when the buffer is full (or a piece fills one on
// its own), at an explicit flush, at the end of a statement on a console, and
// at the close.
#include "TextStream.h"

#include <cstring>

#include "Failure.h"

void TextStream::Open(TextSink& sink, bool writeThrough, bool missing) {
  sink_ = &sink;
  writeThrough_ = writeThrough;
  missing_ = missing;
  used_ = 0;
}

void TextStream::Put(std::string_view text) {
  if (!sink_ || missing_) FailIo(Fails(IoCode::NotOpenForOutput));
  // A piece that fills a buffer on its own (a deep folder's header) goes out
  // whole, after what was buffered: every byte leaves no later than it would
  // in 128-byte pieces, in far fewer calls.
  if (text.size() >= kBufferSize) {
    Emit();
    if (const IoError error = sink_->Write(text)) FailIo(error);
    return;
  }
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
  if (!sink_) FailIo(Fails(IoCode::NotOpenForOutput));
  Emit();
}

void TextStream::Close() {
  Flush();
  TextSink* sink = sink_;
  sink_ = nullptr;
  if (const IoError error = sink->Close()) FailIo(error);
}

void TextStream::FlushQuietly() {
  if (sink_ && !missing_ && used_ > 0) sink_->Write(std::string_view(buffer_, used_));
  used_ = 0;
}

void TextStream::Emit() {
  if (used_ == 0) return;
  const IoError error = sink_->Write(std::string_view(buffer_, used_));
  // A failed write discards what it was writing.
  used_ = 0;
  if (error) FailIo(error);
}
