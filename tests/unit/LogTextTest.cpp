// The log's grammar, line by line, and the stream it is written to.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sweep/Failure.h"
#include "sweep/LogText.h"

namespace {

// Records what it is handed, and fails the writes it is told to.
class Sink final : public TextSink {
 public:
  std::vector<std::string> pieces;
  int failNext = 0;

  IoError Write(std::string_view data) override {
    if (failNext > 0) {
      --failNext;
      return Fails(IoCode::DiskFull);
    }
    pieces.emplace_back(data);
    return Ok();
  }
  IoError Close() override { return Ok(); }
};

std::string Written(void (*write)(TextStream&)) {
  Sink sink;
  TextStream log;
  log.Open(sink, false);
  write(log);
  log.Flush();
  std::string all;
  for (const std::string& piece : sink.pieces) all += piece;
  return all;
}

TEST(LogText, EachLineInItsOneForm) {
  const struct {
    void (*write)(TextStream&);
    const char* bytes;
  } cases[] = {
      {[](TextStream& l) { WriteDateLine(l, " 12 / 31 "); },
       "Exclude reset for files dated on or after  12 / 31 \r\n"},
      {[](TextStream& l) { WriteHeader(l, "C:\\DATA\\Sub"); }, "C:\\DATA\\Sub\r\n"},
      {[](TextStream& l) { WriteLfnMark(l); }, "LFNATTR: "},
      {[](TextStream& l) { WriteExcludedByName(l, "C:\\pagefile.sys"); },
       "Excluded by name: C:\\pagefile.sys\r\n"},
      {[](TextStream& l) { WriteIndent(l, 3); }, "      "},
      {[](TextStream& l) { WriteIndent(l, 0); }, ""},
      {[](TextStream& l) { WriteExcludedByDate(l, "a.txt"); }, "a.txt  Excluded by Date\r\n"},
      {[](TextStream& l) { WriteSetError(l, "/d/a"); },
       "__!__!__!__!__!__!__!__!__!__!__!__! Error setting attributes for file /d/a\r\n"},
      {[](TextStream& l) { WriteChange(l, "a.txt", 0x27, 0x07); }, "a.txt  RHSA -> RHS_\r\n"},
      {[](TextStream& l) { WriteChange(l, "b", 0xFF, 0xDF); }, "b  RHSA -> RHS_\r\n"},
      {[](TextStream& l) {
         WriteSummary(l, RunCounters{7, 5, -1, 0, 2147483647, 1});
       },
       "\r\n\r\nTotal Files: 7\r\nFiles with ARC Attribute set: 5\r\nFiles Reset: -1\r\n"
       "Files skipped for date: 0\r\nFiles skipped for name: 2147483647\r\n"
       "Files with errors resetting attrbutes: 1\r\n"},
  };
  for (const auto& c : cases) EXPECT_EQ(Written(c.write), c.bytes);
}

TEST(LogText, CountersWrapAsTheSystemsIntegersDo) {
  int32_t counter = 2147483647;
  Increment(counter);
  EXPECT_EQ(counter, -2147483647 - 1);
}

TEST(TextStream, GoesOutWhenFullAtFlushesAndOnAConsoleAtEachStatement) {
  Sink file, console;
  TextStream log, out;
  log.Open(file, false);
  out.Open(console, true);
  const std::string line(100, 'x');
  log.WriteLine(line);  // a line end alone does not write it out
  EXPECT_TRUE(file.pieces.empty());
  log.WriteLine(line);
  EXPECT_EQ(file.pieces, std::vector<std::string>{(line + "\r\n" + line).substr(0, 128)});
  log.Flush();
  EXPECT_EQ(file.pieces.back(), (line + "\r\n" + line + "\r\n").substr(128));
  out.Write("ab");
  out.WriteLine("c");
  EXPECT_EQ(console.pieces, (std::vector<std::string>{"ab", "c\r\n"}));
}

TEST(TextStream, APieceThatFillsABufferOnItsOwnGoesOutWhole) {
  Sink sink;
  TextStream log;
  log.Open(sink, false);
  const std::string header(300, 'h');
  log.Put("before ");
  log.WriteLine(header);
  log.Put(std::string(100, 's'));
  EXPECT_EQ(sink.pieces, (std::vector<std::string>{"before ", header}));
  log.Flush();
  EXPECT_EQ(sink.pieces.back(), "\r\n" + std::string(100, 's'));
}

TEST(TextStream, AFailedWriteEndsTheRunAndDiscardsWhatItWasWriting) {
  Sink sink;
  TextStream log;
  log.Open(sink, false);
  log.Put("lost");
  sink.failNext = 1;
  try {
    log.Flush();
    FAIL() << "the failure passed";
  } catch (const RunFailure& failure) {
    EXPECT_EQ(failure.message, "Disk full");
  }
  log.Put("kept");
  log.Flush();
  EXPECT_EQ(sink.pieces, std::vector<std::string>{"kept"});
}

TEST(TextStream, AMissingStreamFailsAtItsFirstWrite) {
  Sink sink;
  TextStream out;
  out.Open(sink, false, true);
  try {
    out.Write("x");
    FAIL() << "the write passed";
  } catch (const RunFailure& failure) {
    EXPECT_EQ(failure.message, "I/O error 105");
  }
  out.FlushQuietly();
  EXPECT_TRUE(sink.pieces.empty());
}

}  // namespace
