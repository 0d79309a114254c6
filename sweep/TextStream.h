// A buffered text stream of 128 bytes whose every operation is checked at once.
#pragma once

#include <string_view>

#include "platform/Platform.h"

class TextStream {
 public:
  static constexpr size_t kBufferSize = 128;

  // `writeThrough`: every write statement goes out at once (a console).
  void Open(plat::Stream stream, bool writeThrough);
  bool IsOpen() const { return open_; }

  // One write statement.
  void Write(std::string_view text);
  void WriteLine(std::string_view text = {});
  // Parts of one statement; EndStatement finishes it.
  void Put(std::string_view text);
  void EndStatement();

  void Flush();
  void Close();
  // Hands over what is buffered without reporting a failure; for the last words of a run.
  void FlushQuietly();

 private:
  void Emit();

  plat::Stream stream_;
  bool open_ = false;
  bool writeThrough_ = false;
  size_t used_ = 0;
  char buffer_[kBufferSize];
};
