// The run state: settings, counters, streams and the walk's position, owned by
// the driver and handed to the walk and the entry handling.
#pragma once

#include <cstdint>
#include <string>

#include "RunCounters.h"
#include "Settings.h"
#include "TextStream.h"
#include "platform/Platform.h"

// A text stream's way to the system.
class SystemSink final : public TextSink {
 public:
  plat::Stream stream;

  IoError Write(std::string_view data) override { return plat::WriteStream(stream, data); }
  IoError Close() override { return plat::CloseStream(stream); }
};

struct RunState {
  RunSettings settings;
  RunCounters counters;
  TextStream log;
  TextStream out;
  SystemSink logFile;
  SystemSink console;
  plat::Stream err;  // carries only the failure report

  // The walk's position.
  std::string currentDir;  // with its trailing delimiter
  std::string dirLabel;    // the directory header of the log
  int32_t depth = 0;
  std::string lastHeader;  // the last header written to the log

  plat::SearchRecord* search = nullptr;
  std::string fullPath;  // scratch for the current entry, kept to save allocations
};
