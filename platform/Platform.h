// The one door to the operating system: streams, folders and attributes,
// locale and clock, and the process itself. Each platform implements it in
// platform/<name>/; the build picks one.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace plat {

// Outcome of a stream operation: 0, or the code that names the failure
// (2 file not found, 3 invalid filename, 4 too many open files, 5 access
// denied, 101 disk full, 105 not open for output, else the system's own).
using IoCode = int;

struct Stream {
  intptr_t handle = -1;
};

// Creates or truncates the log; others may read it while it is open.
IoCode CreateLogFile(const std::string& name, Stream& out);
// Hands all of `data` to the system.
IoCode WriteStream(Stream stream, std::string_view data);
IoCode CloseStream(Stream stream);
// The process's standard streams. A write to one that is missing fails with 105.
Stream StandardOutput();
Stream StandardError();
bool IsCharacterDevice(Stream stream);

// The platform's conventions.
char PathDelimiter();
std::string_view SwitchChars();
char HelpSwitchChar();
bool UpperCaseRoot();

// The arguments after the program's own name, none of them empty.
std::vector<std::string> CommandArguments(int argc, char** argv);
// The program file's name without its folder.
std::string ModuleFileName();
// Text for the console's code page.
std::string ToConsoleCodePage(std::string_view text);

struct DateLocale {
  char separator = '/';
  std::string shortPattern = "m/d/yy";
};
// Read once at start from the user's settings; the fallbacks where none are chosen.
DateLocale ReadDateLocale();
int CurrentYear();

struct LocalTime {
  int year, month, day, hour, minute, second;
};

bool DirectoryExists(const std::string& path);

// A folder opened for the walk, and the one search record that all
// enumerations share: only one enumeration is open at a time.
struct Folder;
struct SearchRecord;

SearchRecord* NewSearchRecord();
void FreeSearchRecord(SearchRecord* record);

// Opens the subfolder `key` of `parent`, or the root `folderPath` when
// `parent` is null, and starts enumerating it. `folderPath` is the folder's
// full path with its trailing delimiter. Never follows a link below the root.
// Null when the folder cannot be read; `fatal` is then the code of a failure
// that must end the run rather than pass the folder by (no descriptors left).
Folder* OpenFolder(SearchRecord& record, Folder* parent, const std::string& folderPath,
                   std::string_view key, IoCode& fatal);
// Moves the record to the next entry; false at the end or on error.
bool NextEntry(SearchRecord& record, Folder& folder);
// Ends the enumeration; the folder stays open for opening its subfolders.
void EndEnumeration(SearchRecord& record, Folder& folder);
// Closes the newest open folder; null is harmless.
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
// Gives the current entry the attribute word `attributes`: every settable bit
// as given. 0 on success, else the system's error code.
int SetEntryAttributes(SearchRecord& record, uint32_t attributes);

// A processor fault: where it struck (an offset into the program file when
// `inModule`), and the memory it touched.
struct Fault {
  uintptr_t codeAddress;
  uintptr_t dataAddress;
  bool write;
  bool inModule;
};
// Sets the process up for the run: a closed pipe becomes a failed write, and a
// processor fault calls `report`, after which the process ends with exit code 1.
void PrepareProcess(void (*report)(const Fault& fault, void* context), void* context);

}  // namespace plat
