// Folders through the wide-character find calls, so that every name can be
// reached; the log gets the names in the ANSI code page. Paths are kept wide
// and in the extended-length form, so depth is not bound by MAX_PATH.
#include <windows.h>

#include <cstring>

#include "WideText.h"
#include "platform/Platform.h"
#include "platform/WindowsAttributes.h"

namespace plat {

struct Folder {
  HANDLE find = INVALID_HANDLE_VALUE;
  bool pending = false;   // the first entry, from FindFirstFileExW, is not taken yet
  size_t pathLength = 0;  // of its full path, which begins the record's path
};

struct SearchRecord {
  WIN32_FIND_DATAW data;
  std::string name;
  uint32_t attributes = 0;
  // The full path of the folder being read, with its trailing backslash. A
  // subfolder's path extends its parent's, so one string serves the whole
  // walk: each folder keeps only its length.
  std::wstring path;
  std::wstring scratch;
};

namespace {

// The full path in the extended-length form that no MAX_PATH limits.
std::wstring ExtendedPath(const std::string& path) {
  const std::wstring wide = win::Widen(path);
  const DWORD size = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
  if (size == 0) return wide;
  std::wstring full(size, L'\0');
  full.resize(GetFullPathNameW(wide.c_str(), size, full.data(), nullptr));
  if (full.compare(0, 4, L"\\\\?\\") == 0) return full;
  // The device namespace names the same paths as the extended-length form.
  if (full.compare(0, 4, L"\\\\.\\") == 0) return L"\\\\?\\" + full.substr(4);
  if (full.compare(0, 2, L"\\\\") == 0) return L"\\\\?\\UNC\\" + full.substr(2);
  return L"\\\\?\\" + full;
}

void TakeEntry(SearchRecord& r) {
  r.name = win::Narrow(r.data.cFileName);
  r.attributes = win::WalkWord(r.data.dwFileAttributes, r.data.dwReserved0);
}

// Starts the enumeration of the folder whose path the record now holds. A
// find handle lives only while its folder is read: none pile up along the path.
Folder* Start(SearchRecord& record) {
  auto* folder = new Folder;
  folder->pathLength = record.path.size();
  const std::wstring pattern = record.path + L"*.*";
  folder->find = FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &record.data, FindExSearchNameMatch,
                                  nullptr, FIND_FIRST_EX_LARGE_FETCH);
  if (folder->find == INVALID_HANDLE_VALUE) {
    delete folder;
    return nullptr;
  }
  folder->pending = true;
  return folder;
}

}  // namespace

SearchRecord* NewSearchRecord() { return new SearchRecord; }
void FreeSearchRecord(SearchRecord* record) { delete record; }

bool DirectoryExists(const std::string& path) {
  const DWORD attributes = GetFileAttributesW(win::Widen(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

Folder* OpenRoot(SearchRecord& record, const std::string& path, IoError& fatal) {
  fatal = Ok();
  record.path = ExtendedPath(path);
  if (record.path.empty() || record.path.back() != L'\\') record.path += L'\\';
  return Start(record);
}

Folder* OpenSubfolder(SearchRecord& record, Folder& parent, std::string_view key, IoError& fatal) {
  fatal = Ok();
  record.path.resize(parent.pathLength);
  record.path.append(reinterpret_cast<const wchar_t*>(key.data()), key.size() / sizeof(wchar_t));
  record.path += L'\\';
  return Start(record);
}

bool NextEntry(SearchRecord& record, Folder& folder) {
  if (folder.pending) {
    folder.pending = false;
  } else if (!FindNextFileW(folder.find, &record.data)) {
    // An error ends the folder as if it were complete.
    return false;
  }
  TakeEntry(record);
  return true;
}

void EndEnumeration(SearchRecord&, Folder& folder) {
  FindClose(folder.find);
  folder.find = INVALID_HANDLE_VALUE;
}

void CloseFolder(SearchRecord&, Folder* folder) { delete folder; }

std::string_view EntryName(const SearchRecord& record) { return record.name; }

// The wide name itself, carried as bytes: nothing is lost on the way.
std::string EntryKey(const SearchRecord& record) {
  const wchar_t* name = record.data.cFileName;
  return std::string(reinterpret_cast<const char*>(name), std::wcslen(name) * sizeof(wchar_t));
}

std::string DisplayName(std::string_view key) {
  return win::Narrow(
      std::wstring_view(reinterpret_cast<const wchar_t*>(key.data()), key.size() / sizeof(wchar_t)));
}

uint32_t EntryAttributes(const SearchRecord& record) { return record.attributes; }

LocalTime EntryTime(SearchRecord& record) {
  FILETIME local;
  SYSTEMTIME t;
  if (!FileTimeToLocalFileTime(&record.data.ftLastWriteTime, &local) || !FileTimeToSystemTime(&local, &t))
    return LocalTime{9999, 12, 31, 23, 59, 59};
  return {t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond};
}

int ClearArchiveBit(SearchRecord& record) {
  // The folder being read is the newest, so the record's path is its own.
  record.scratch = record.path;
  record.scratch += record.data.cFileName;
  const uint32_t word = win::SettableWord(record.data.dwFileAttributes & ~win::kArchive);
  return SetFileAttributesW(record.scratch.c_str(), word) ? 0 : static_cast<int>(GetLastError());
}

}  // namespace plat
