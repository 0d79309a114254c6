// The walk and the entry handling over the fake platform: order, headers,
// indentation, counters, flush points, failed changes and the Windows rules.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/fake/FakePlatform.h"
#include "sweep/DateText.h"
#include "sweep/Failure.h"
#include "sweep/RunState.h"
#include "sweep/TreeWalk.h"

namespace {

using fake::File;
using fake::Folder;
using fake::Node;

constexpr uint32_t R = 0x01, H = 0x02, S = 0x04, A = 0x20;

// Keeps every piece handed to it, as the system would receive them.
class RecordingSink final : public TextSink {
 public:
  std::vector<std::string> pieces;

  IoError Write(std::string_view data) override {
    pieces.emplace_back(data);
    return Ok();
  }
  IoError Close() override { return Ok(); }
  std::string Text() const {
    std::string all;
    for (const std::string& p : pieces) all += p;
    return all;
  }
};

std::string Crlf(std::string text) {
  std::string out;
  for (char c : text) out += c == '\n' ? std::string("\r\n") : std::string(1, c);
  return out;
}

struct Sweep {
  fake::World world;
  RunState run;
  RecordingSink log, out;

  explicit Sweep(Node root, std::string rootPath = "/data", char delimiter = '/') {
    world.root = std::move(root);
    world.delimiter = delimiter;
    run.settings.root = std::move(rootPath);
    fake::Serve(world);
  }
  void Walk() {
    run.log.Open(log, false);
    run.out.Open(out, true);
    run.search = plat::NewSearchRecord();
    try {
      WalkDirectory(run);
    } catch (...) {
      plat::FreeSearchRecord(run.search);
      throw;
    }
    plat::FreeSearchRecord(run.search);
    run.log.Flush();
  }
};

RunCounters Counters(int32_t total, int32_t arc, int32_t reset, int32_t date = 0, int32_t name = 0,
                     int32_t errors = 0) {
  return {total, arc, reset, date, name, errors};
}

std::string Progress(std::string path) { return path + std::string(78 - path.size(), ' ') + "\r"; }

TEST(Walk, FilesFirstThenSubfoldersInTheOrderFoundWithHeadersAndIndentation) {
  Sweep s(Folder("", {
                         File("a.txt", A),
                         Folder("one", {Folder("deep", {File("d.txt", H | S | A)}), File("c.txt", R | A)}),
                         File("b.txt", 0),
                         Folder("two", {File("e.txt", A | 0x2000)}),
                     }));
  s.Walk();
  EXPECT_EQ(s.log.Text(), Crlf("/data\n"
                               "a.txt  ___A -> ____\n"
                               "/data/one\n"
                               "  c.txt  R__A -> R___\n"
                               "/data/one/deep\n"
                               "    d.txt  _HSA -> _HS_\n"
                               "/data/two\n"
                               "  e.txt  ___A -> ____\n"));
  EXPECT_EQ(s.out.Text(), Progress("/data/") + Progress("/data/one/") + Progress("/data/one/deep/") +
                              Progress("/data/two/"));
  EXPECT_EQ(s.run.counters, Counters(5, 4, 4));
  // Every bit but the archive bit stays, the high ones included.
  EXPECT_EQ(s.world.changes, (std::vector<fake::Change>{{"/data/a.txt", 0},
                                                        {"/data/one/c.txt", R},
                                                        {"/data/one/deep/d.txt", H | S},
                                                        {"/data/two/e.txt", 0x2000}}));
  EXPECT_EQ(s.run.depth, 0);
}

TEST(Walk, TheLogGoesOutAtEachFolderAndAfterEachFileLine) {
  // The name exclusions write no flush of their own: the next folder's start hands them over.
  Sweep s(Folder("", {File("z", A), File("pagefile.sys", A), File("HIBERFIL.SYS", A),
                      Folder("sub", {File("x", A), File("y", A)})}),
          "C:\\", '\\');
  s.Walk();
  EXPECT_EQ(s.log.pieces,
            (std::vector<std::string>{
                Crlf("C:\\\nz  ___A -> ____\n"),
                Crlf("Excluded by name: C:\\pagefile.sys\nExcluded by name: C:\\HIBERFIL.SYS\n"),
                Crlf("C:\\sub\n  x  ___A -> ____\n"),
                Crlf("  y  ___A -> ____\n"),
            }));
}

TEST(Walk, ExcludedNamesAreTheTwoSystemFilesAtTheDriveRootOnly) {
  Sweep s(Folder("", {File("PageFile.Sys", A), Folder("sub", {File("pagefile.sys", A)})}), "C:", '\\');
  s.Walk();
  EXPECT_EQ(s.log.Text(),
            Crlf("Excluded by name: C:\\PageFile.Sys\nC:\\sub\n  pagefile.sys  ___A -> ____\n"));
  EXPECT_EQ(s.run.counters, Counters(2, 2, 1, 0, 1));
}

TEST(Walk, AFailedChangeIsLoggedAndCountedAndTheWalkGoesOn) {
  Node locked = File("locked", R | A);
  locked.setError = 5;
  Sweep s(Folder("", {locked, File("open", A)}));
  s.Walk();
  EXPECT_EQ(s.log.Text(),
            Crlf("/data\n"
                 "__!__!__!__!__!__!__!__!__!__!__!__! Error setting attributes for file /data/locked\n"
                 "locked  R__A -> R___\n"
                 "open  ___A -> ____\n"));
  EXPECT_EQ(s.run.counters, Counters(2, 2, 1, 0, 0, 1));
}

TEST(Walk, PreviewChangesNothingAndLogsEveryReset) {
  Sweep s(Folder("", {File("a", A), Folder("sub", {File("b", R | A)})}));
  s.run.settings.preview = true;
  s.Walk();
  EXPECT_EQ(s.log.Text(), Crlf("/data\na  ___A -> ____\n/data/sub\n  b  R__A -> R___\n"));
  EXPECT_TRUE(s.world.changes.empty());
  EXPECT_EQ(s.run.counters, Counters(2, 2, 0));
}

TEST(Walk, TheDateFilterReadsTimesOnlyOfArchiveSetFiles) {
  const plat::LocalTime before{2008, 12, 30, 23, 59, 58}, day{2008, 12, 31, 0, 0, 0},
      late{2008, 12, 31, 23, 59, 59};
  const Node tree = Folder("", {File("before", A, before), File("day", A, day), File("late", A, late),
                                File("clear", 0, late), Folder("all spared", {File("x", A, late)})});
  for (bool filter : {false, true}) {
    Sweep s(tree);
    s.run.settings.dateFilter = filter;
    s.run.settings.exclusionDate = DayNumber(2008, 12, 31);
    s.Walk();
    EXPECT_EQ(s.world.timesRead, filter ? 4 : 0);
    if (!filter) continue;
    // A folder whose archive-set files are all spared still gets its header.
    EXPECT_EQ(s.log.Text(),
              Crlf("/data\nbefore  ___A -> ____\nday  Excluded by Date\nlate  Excluded by Date\n"
                   "/data/all spared\n  x  Excluded by Date\n"));
    EXPECT_EQ(s.run.counters, Counters(5, 4, 1, 3));
  }
}

TEST(Walk, OnlyTheWholeWordOfALongNameSlotIsMarked) {
  // A file that happens to carry R, H, S and the volume bit with A is a file.
  Sweep s(Folder("", {File("slot", 0x0F), File("file", 0x2F)}));
  s.Walk();
  EXPECT_EQ(s.log.Text(), Crlf("LFNATTR: /data\nfile  RHSA -> RHS_\n"));
  EXPECT_EQ(s.run.counters, Counters(1, 1, 1));
}

TEST(Walk, AFolderBitStoredInAFilesWordIsKeptAndTheFileCounted) {
  Sweep s(Folder("", {File("odd", 0x30)}));
  s.Walk();
  EXPECT_EQ(s.run.counters, Counters(1, 1, 1));
  EXPECT_EQ(s.world.changes, (std::vector<fake::Change>{{"/data/odd", 0x10}}));
}

TEST(Walk, AFolderThatCannotBeReadLeavesNoTrace) {
  Node closed = Folder("closed", {File("hidden", A)});
  closed.refused = true;
  Sweep s(Folder("", {closed, Folder("open", {})}));
  s.Walk();
  EXPECT_EQ(s.log.Text(), "");
  EXPECT_EQ(s.out.Text(), Progress("/data/") + Progress("/data/closed/") + Progress("/data/open/"));
  EXPECT_EQ(s.world.opened, (std::vector<std::string>{"/data/", "/data/open/"}));
  EXPECT_EQ(s.run.counters, Counters(0, 0, 0));
}

TEST(Walk, RunningOutOfDescriptorsEndsTheRun) {
  Node deep = Folder("deep", {File("x", A)});
  deep.noDescriptors = true;
  Sweep s(Folder("", {deep}));
  try {
    s.Walk();
    FAIL() << "the walk went on";
  } catch (const RunFailure& failure) {
    EXPECT_EQ(failure.kind, "EInOutError");
    EXPECT_EQ(failure.message, "Too many open files");
  }
}

TEST(Walk, AFolderRecordWithoutMemoryEndsTheRunWithItsMessage) {
  Node sub = Folder("sub", {});
  sub.noMemory = true;
  Sweep s(Folder("", {File("a", A), sub}));
  try {
    s.Walk();
    FAIL() << "the walk went on";
  } catch (const RunStop& stop) {
    EXPECT_EQ(stop.exitCode, 1);
  }
  EXPECT_EQ(s.out.Text(), Progress("/data/") + "Could not alocate record!\r\n");
}

TEST(Walk, TheWindowsRules) {
  constexpr uint32_t kReparse = 0x400, kDir = 0x10;
  Node junction = Folder("junction", {File("outside", A)});
  junction.word = kDir | kReparse;
  junction.reparseTag = 0xA0000003;
  Node link = File("link", A | kReparse);
  link.reparseTag = 0xA000000C;
  Node cloud = Folder("cloud", {File("inside", A)});
  cloud.word = kDir | A | kReparse;
  cloud.reparseTag = 0x9000001A;
  Node refused = File("refused", R | A);
  refused.setError = 5;
  Sweep s(Folder("", {junction, link, cloud, File("plain", A), File("temp", A | 0x100 | 0x800), refused}),
          "C:\\DATA", '\\');
  s.world.windowsRules = true;
  s.Walk();
  // Links and junctions carry nothing and are never entered; a cloud folder is swept as a file.
  EXPECT_EQ(s.world.opened, (std::vector<std::string>{"C:\\DATA\\"}));
  EXPECT_EQ(s.log.Text(), Crlf("C:\\DATA\n"
                               "cloud  ___A -> ____\n"
                               "plain  ___A -> ____\n"
                               "temp  ___A -> ____\n"
                               "__!__!__!__!__!__!__!__!__!__!__!__! Error setting attributes for file "
                               "C:\\DATA\\refused\n"
                               "refused  R__A -> R___\n"));
  // A word with no settable bit left is sent as NORMAL; compressed is the system's, temporary stays.
  EXPECT_EQ(s.world.changes,
            (std::vector<fake::Change>{
                {"C:\\DATA\\cloud", 0x80}, {"C:\\DATA\\plain", 0x80}, {"C:\\DATA\\temp", 0x100}}));
  EXPECT_EQ(s.run.counters, Counters(6, 4, 3, 0, 0, 1));
}

}  // namespace
