// The fake platform: folders and entries from the served world, and an
// allocator that a folder marked `noMemory` makes refuse one allocation.
#include "FakePlatform.h"

#include <cstdlib>
#include <new>

#include "platform/WindowsAttributes.h"

namespace {

fake::World* g_world = nullptr;
bool g_refuseNext = false;

}  // namespace

// The unit tests' allocator: the system's, unless one refusal is armed.
void* operator new(std::size_t size) {
  if (g_refuseNext) {
    g_refuseNext = false;
    throw std::bad_alloc();
  }
  if (void* p = std::malloc(size ? size : 1)) return p;
  throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }

namespace fake {

Node File(std::string name, uint32_t word, plat::LocalTime time) {
  Node node;
  node.name = std::move(name);
  node.word = word;
  node.time = time;
  return node;
}

Node Folder(std::string name, std::vector<Node> children) {
  Node node;
  node.name = std::move(name);
  node.word = 0x10;
  node.folder = true;
  node.children = std::move(children);
  return node;
}

void Serve(World& world) { g_world = &world; }

}  // namespace fake

namespace plat {

struct Folder {
  fake::Node* node;
  std::string path;  // with its trailing delimiter
  size_t next = 0;   // "." and ".." come first, as the systems list them
};

struct SearchRecord {
  std::vector<Folder*> open;
  std::string name;
  fake::Node* entry = nullptr;
};

namespace {

Folder* Start(SearchRecord& record, fake::Node& node, std::string path, IoError& fatal) {
  fatal = node.noDescriptors ? Fails(IoCode::TooManyOpenFiles) : Ok();
  if (node.refused || node.noDescriptors) return nullptr;
  g_world->opened.push_back(path);
  record.open.push_back(new Folder{&node, std::move(path)});
  return record.open.back();
}

}  // namespace

char PathDelimiter() { return g_world->delimiter; }

// The tests give the streams sinks of their own; the system's take anything.
IoError WriteStream(Stream, std::string_view) { return Ok(); }
IoError CloseStream(Stream) { return Ok(); }

SearchRecord* NewSearchRecord() { return new SearchRecord; }
void FreeSearchRecord(SearchRecord* record) { delete record; }

Folder* OpenRoot(SearchRecord& record, const std::string& path, IoError& fatal) {
  return Start(record, g_world->root, path, fatal);
}

Folder* OpenSubfolder(SearchRecord& record, Folder& parent, std::string_view key, IoError& fatal) {
  for (fake::Node& child : parent.node->children)
    if (child.name == key) return Start(record, child, parent.path + child.name + g_world->delimiter, fatal);
  fatal = Ok();
  return nullptr;
}

bool NextEntry(SearchRecord& record, Folder& folder) {
  static fake::Node dot = fake::Folder(".", {}), dotdot = fake::Folder("..", {});
  const size_t i = folder.next++;
  if (i >= folder.node->children.size() + 2) return false;
  record.entry = i == 0 ? &dot : i == 1 ? &dotdot : &folder.node->children[i - 2];
  record.name = record.entry->name;
  if (record.entry->noMemory) g_refuseNext = true;
  return true;
}

void EndEnumeration(SearchRecord&, Folder&) {}

void CloseFolder(SearchRecord& record, Folder* folder) {
  if (!folder) return;
  delete record.open.back();
  record.open.pop_back();
}

std::string_view EntryName(const SearchRecord& record) { return record.name; }
std::string EntryKey(const SearchRecord& record) { return record.name; }
std::string DisplayName(std::string_view key) { return std::string(key); }

uint32_t EntryAttributes(const SearchRecord& record) {
  const fake::Node& n = *record.entry;
  if (g_world->windowsRules) return win::WalkWord(n.word, n.reparseTag);
  // The Linux rule: the folder bit comes from the type alone.
  return n.folder ? 0x10 : n.word & ~0x10u;
}

LocalTime EntryTime(SearchRecord& record) {
  ++g_world->timesRead;
  return record.entry->time;
}

int ClearArchiveBit(SearchRecord& record) {
  fake::Node& n = *record.entry;
  if (n.setError) return n.setError;
  const uint32_t word = n.word & ~0x20u;
  n.word = g_world->windowsRules ? win::SettableWord(word) : word;
  g_world->changes.push_back({record.open.back()->path + n.name, n.word});
  return 0;
}

}  // namespace plat
