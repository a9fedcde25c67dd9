// The directory a node reads at start: the users (id, name, password), the
// groups (id, members) and the server configuration items the plug-in reads
// (host service 54). One file serves the server script and every node.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace node {

struct UserEntry {
  std::string name;
  std::string password;
};

struct Directory {
  std::string domain = "mrtc.local";
  std::map<int64_t, UserEntry> users;
  std::map<int64_t, std::vector<int64_t>> groups;
  std::map<std::pair<std::string, std::string>, std::string> config;  // key, field -> value

  bool isGroup(int64_t id) const { return groups.count(id) != 0; }
  // The user whose name is this (any case), or 0.
  int64_t userNamed(const std::string& name) const;
};

// Throws codec::ReadError naming the file and the place.
Directory loadDirectory(const std::string& path);
Directory readDirectory(const std::string& text, const std::string& file);

}  // namespace node
