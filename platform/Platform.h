// The one door to the operating system: streams, folders and attributes,
// locale and clock, and the process itself. Each platform implements it in
// platform/<name>/; the build picks one.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "DateTypes.h"
#include "IoError.h"

namespace plat {

// A stream's handle; -1 for a standard stream that was missing at start.
struct Stream {
  static constexpr intptr_t kMissing = -1;
  intptr_t handle = kMissing;

  bool Missing() const { return handle == kMissing; }
};

// Creates or truncates the log; others may read it while it is open.
IoError CreateLogFile(const std::string& name, Stream& out);
// Hands all of `data` to the system; a missing stream fails as not open for output.
IoError WriteStream(Stream stream, std::string_view data);
IoError CloseStream(Stream stream);
bool IsCharacterDevice(Stream stream);

// The platform's conventions.
char PathDelimiter();
std::string_view SwitchChars();
char HelpSwitchChar();
bool UpperCaseRoot();
// Whether two-dash switches are the system's long options (--help, --version).
bool LongOptions();

// The arguments after the program's own name, none of them empty.
std::vector<std::string> CommandArguments(int argc, char** argv);
// The program file's name without its folder.
std::string ModuleFileName();
// Text for the console's code page.
std::string ToConsoleCodePage(std::string_view text);

// Read once at start from the user's settings; the fallbacks where none are chosen.
DateLocale ReadDateLocale();
int CurrentYear();

bool DirectoryExists(const std::string& path);

// A folder opened for the walk, and the one search record that all
// enumerations share: only one enumeration is open at a time.
struct Folder;
struct SearchRecord;

SearchRecord* NewSearchRecord();
void FreeSearchRecord(SearchRecord* record);

// Opens the root of the run as the user names it, `path` with its trailing
// delimiter, and starts enumerating it. Null when it cannot be read; `fatal`
// is then set to a failure that must end the run rather than pass the folder
// by (no descriptors left).
Folder* OpenRoot(SearchRecord& record, const std::string& path, IoError& fatal);
// The same for the subfolder `key` of the open folder `parent`, which is never
// reached through a link.
Folder* OpenSubfolder(SearchRecord& record, Folder& parent, std::string_view key, IoError& fatal);
// Moves the record to the next entry; false at the end or on error.
bool NextEntry(SearchRecord& record, Folder& folder);
// Ends the enumeration; the folder stays open for opening its subfolders.
void EndEnumeration(SearchRecord& record, Folder& folder);
// Closes the newest open folder, and makes the folder that opened it the
// current one again; null is harmless.
void CloseFolder(SearchRecord& record, Folder* folder);

// The current entry's name as the log shows it (in the ANSI code page on Windows).
std::string_view EntryName(const SearchRecord& record);
// The current entry's name as the system holds it, to open the entry by later.
std::string EntryKey(const SearchRecord& record);
// A key's name as the log shows it.
std::string DisplayName(std::string_view key);
// The entry's attribute word. It carries the directory bit 0x10 for a folder
// that the walk may enter; a link carries no attributes at all.
uint32_t EntryAttributes(const SearchRecord& record);
// The last-write time in local time; read only when asked for.
LocalTime EntryTime(SearchRecord& record);
// Clears the archive bit of the current entry; every other bit stays as the
// store holds it. 0 on success, else the system's error code.
int ClearArchiveBit(SearchRecord& record);

// A processor fault: where it struck (an offset into the program file when
// `inModule`), and the memory it touched.
struct Fault {
  uintptr_t codeAddress;
  uintptr_t dataAddress;
  bool write;
  bool inModule;
};
struct StandardStreams {
  Stream out, err;
};
// Sets the process up for the run: a closed pipe becomes a failed write, and a
// processor fault calls `report`, after which the process ends with exit code 1.
// Gives the standard streams, a missing one as missing: nothing the run opens
// later takes its place.
StandardStreams PrepareProcess(void (*report)(const Fault& fault, void* context), void* context);

}  // namespace plat
