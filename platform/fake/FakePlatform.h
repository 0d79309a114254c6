// An in-memory tree behind the platform's door, for the unit tests of the walk
// and the entry handling: attribute words, times and injected failures, with a
// record of every folder opened and every change made.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/Platform.h"

namespace fake {

struct Node {
  std::string name;
  uint32_t word = 0;  // as the store holds it
  bool folder = false;
  std::vector<Node> children;
  uint32_t reparseTag = 0;  // with the Windows rules, for a word with the reparse bit
  plat::LocalTime time{2020, 1, 1, 12, 0, 0};
  int setError = 0;            // what a change of its attributes fails with
  bool refused = false;        // a folder whose enumeration cannot start
  bool noDescriptors = false;  // a folder that cannot be opened for want of descriptors
  bool noMemory = false;       // the walk's record of this folder finds no memory
};

Node File(std::string name, uint32_t word, plat::LocalTime time = {2020, 1, 1, 12, 0, 0});
Node Folder(std::string name, std::vector<Node> children);

struct Change {
  std::string path;
  uint32_t word;
  bool operator==(const Change&) const = default;
};

struct World {
  Node root;
  char delimiter = '/';
  // The words pass the Windows build's rules (links, reparse points, the
  // NORMAL word), where the Linux rules take the folder bit from the type.
  bool windowsRules = false;

  std::vector<std::string> opened;  // every folder opened, by its path
  std::vector<Change> changes;
  int timesRead = 0;
};

// The world the fake platform serves from now on.
void Serve(World& world);

}  // namespace fake
