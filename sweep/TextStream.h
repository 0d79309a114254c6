// A buffered text stream of 128 bytes whose every operation is checked at once.
#pragma once

#include <string_view>

#include "platform/IoError.h"

// Where a stream's text goes: the system's stream, or a test's record.
class TextSink {
 public:
  virtual ~TextSink() = default;
  // Hands all of `data` over.
  virtual IoError Write(std::string_view data) = 0;
  virtual IoError Close() = 0;
};

class TextStream {
 public:
  static constexpr size_t kBufferSize = 128;

  // `writeThrough`: every write statement goes out at once (a console).
  // `missing`: a standard stream the process was started without; its first write fails.
  void Open(TextSink& sink, bool writeThrough, bool missing = false);

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

  TextSink* sink_ = nullptr;
  bool writeThrough_ = false;
  bool missing_ = false;
  size_t used_ = 0;
  char buffer_[kBufferSize];
};
