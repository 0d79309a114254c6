// The run driver and the process entry: settings from the command line, the
// log, one walk over the root, the summary, and how a run ends.
#include <cstdio>
#include <new>
#include <string>
#include <utility>

#include "CmdLin.h"
#include "Failure.h"
#include "LogText.h"
#include "RunState.h"
#include "Settings.h"
#include "TreeWalk.h"
#include "Version.h"
#include "platform/Platform.h"

namespace {

constexpr const char* kVersionLine = "Tamberlix V" TAMBERLIX_VERSION " " TAMBERLIX_VERSION_DATE;
constexpr size_t kLogNameLimit = 259;

struct ProcessContext {
  RunState* run;
  std::string module;
};

void WriteHelp(RunState& run, const plat::DateLocale& locale) {
  const std::string s(1, plat::HelpSwitchChar());
  TextStream& out = run.out;
  out.WriteLine();
  out.WriteLine(kVersionLine + std::string("  Command Line Parameters:"));
  out.WriteLine("Usage: Mirrowan <rootpath> {logfilename}");
  out.WriteLine(
      s + "P    -  Preview mode - only writes what would be done to log file, but makes no changes to files");
  out.WriteLine(s + "D    -  Exclude resetting files on or after this date. " + s + "D" +
                locale.shortPattern + ")");
  out.WriteLine(s + "H    -  This Help.");
}

// Settles what the command line asks for: the help, the version or a failure
// end the run here; a sweep goes on with the settings, its root checked.
void ParseCommandLine(RunState& run, const ArgList& args) {
  const plat::DateLocale locale = plat::ReadDateLocale();
  const CommandRules rules{plat::LongOptions(), plat::UpperCaseRoot()};
  CommandLine line = ReadCommandLine(args, rules, locale, plat::CurrentYear());
  switch (line.request) {
    case Request::Help:
      WriteHelp(run, locale);
      throw RunStop{0};
    case Request::UnknownLong:
      WriteHelp(run, locale);
      throw RunStop{1};
    case Request::Version:
      run.out.WriteLine(kVersionLine);
      throw RunStop{0};
    case Request::BadDate:
      throw RunFailure{"EConvertError", "'" + line.settings.dateText + "' is not a valid date"};
    case Request::Sweep:
      break;
  }
  run.settings = std::move(line.settings);
  if (!plat::DirectoryExists(run.settings.root)) {
    run.out.WriteLine("Root Path does not exist.");
    throw RunStop{1};
  }
}

void Run(RunState& run, const ArgList& args) {
  ParseCommandLine(run, args);
  const RunSettings& settings = run.settings;

  if (settings.logName.size() > kLogNameLimit) FailIo(Fails(IoCode::InvalidFilename));
  if (const IoError error = plat::CreateLogFile(settings.logName, run.logFile.stream)) FailIo(error);
  run.log.Open(run.logFile, false);

  if (settings.dateFilter) {
    WriteDateLine(run.out, settings.dateText);
    WriteDateLine(run.log, settings.dateText);
  }
  run.out.WriteLine("Reading Files...");
  WalkDirectory(run);
  run.out.Write("\r\n");
  run.out.WriteLine("Done.");
  WriteSummary(run.log, run.counters);
  run.log.Close();
}

// Pending standard output goes first, then the report, already in the console's code page.
void WriteReport(RunState& run, std::string_view report) {
  run.out.FlushQuietly();
  plat::WriteStream(run.err, report);
}

void ReportFailure(RunState& run, const std::string& module, const RunFailure& failure) {
  WriteReport(run, plat::ToConsoleCodePage(FailureReport(failure.kind, module, 0, failure.message)));
}

// Runs on a processor fault, so it formats into fixed buffers and never allocates.
void ReportFault(const plat::Fault& fault, void* context) {
  auto* process = static_cast<ProcessContext*>(context);
  const char* module = process->module.c_str();
  const char* access = fault.write ? "Write" : "Read";
  const unsigned code = static_cast<unsigned>(fault.codeAddress);
  const unsigned data = static_cast<unsigned>(fault.dataAddress);
  char message[512];
  if (fault.inModule)
    std::snprintf(message, sizeof message,
                  "Access violation at address %08X in module '%s'. %s of address %08X", code, module, access,
                  data);
  else
    std::snprintf(message, sizeof message, "Access violation at address %08X. %s of address %08X", code,
                  access, data);
  char report[1024];
  const int size =
      std::snprintf(report, sizeof report, "Exception EAccessViolation in module %s at %08X.\r\n%s.\r\n\r\n",
                    module, code, message);
  WriteReport(*process->run, std::string_view(report, size > 0 && size < 1024 ? size : 0));
}

}  // namespace

int main(int argc, char** argv) {
  RunState run;
  ProcessContext process{&run, plat::ModuleFileName()};
  // Prepared now, so that reporting exhausted memory needs none.
  const std::string outOfMemory =
      plat::ToConsoleCodePage(FailureReport("EOutOfMemory", process.module, 0, "Out of memory"));
  const plat::StandardStreams standard = plat::PrepareProcess(&ReportFault, &process);
  run.console.stream = standard.out;
  run.out.Open(run.console, plat::IsCharacterDevice(standard.out), standard.out.Missing());
  run.err = standard.err;

  int exitCode = 0;
  try {
    try {
      ArgList args{plat::CommandArguments(argc, argv), plat::SwitchChars()};
      run.search = plat::NewSearchRecord();
      Run(run, args);
    } catch (const RunStop& stop) {
      exitCode = stop.exitCode;
    }
    // Standard output is always written out at the end of the run.
    run.out.Flush();
  } catch (const RunFailure& failure) {
    ReportFailure(run, process.module, failure);
    exitCode = 1;
  } catch (const std::bad_alloc&) {
    WriteReport(run, outOfMemory);
    exitCode = 1;
  }
  plat::FreeSearchRecord(run.search);
  return exitCode;
}
