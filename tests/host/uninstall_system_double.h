// A recording implementation of the uninstaller's RemovalSystem for native
// tests: a small tree of files, folders and links, and registry keys, kept in
// maps; every change is logged in order.
#pragma once

#include <map>
#include <set>
#include <string>
#include <vector>

#include "services/folder_rules.h"
#include "services/text.h"
#include "uninstaller/removal.h"

namespace brindorel {

class RecordingRemovalSystem : public RemovalSystem {
 public:
  struct Node {
    std::string path;  // as added, without trailing "\"
    PathKind kind = PathKind::File;
    bool readOnly = false;
    bool locked = false;  // deletion fails even without read-only
    ShortcutTarget link;
  };

  // Files and folders; missing parent folders are added too.
  void AddFile(const std::string& path, bool readOnly = false) { Add(path, PathKind::File).readOnly = readOnly; }
  void AddLink(const std::string& path, const std::string& target, const std::string& arguments = "") {
    Node& node = Add(path, PathKind::File);
    node.link.read = true;
    node.link.path = target;
    node.link.arguments = arguments;
  }
  void AddFolder(const std::string& path) { Add(path, PathKind::Folder); }
  void AddLinkedFolder(const std::string& path) { Add(path, PathKind::LinkedFolder); }
  void Lock(const std::string& path) { nodes_[Key(path)].locked = true; }
  bool Has(const std::string& path) const { return nodes_.count(Key(path)) != 0; }

  void SetValue(std::uint32_t root, const std::string& key, const std::string& name, const std::string& value) {
    AddKey(root, key);
    keys_[RegKey(root, key)][Lower(name)] = value;
  }
  void AddKey(std::uint32_t root, const std::string& key) {
    std::string path;
    for (const std::string& level : RegistryKeyLevels(key)) {
      path += (path.empty() ? "" : "\\") + level;
      keys_[RegKey(root, path)];
    }
  }
  bool HasKey(std::uint32_t root, const std::string& key) const { return keys_.count(RegKey(root, key)) != 0; }
  bool HasValue(std::uint32_t root, const std::string& key, const std::string& name) const {
    auto it = keys_.find(RegKey(root, key));
    return it != keys_.end() && it->second.count(Lower(name)) != 0;
  }

  std::vector<std::string> log;  // "delete <path>", "schedule <path>", "rmdir <path>", "regval ...", "regkey ..."

  // RemovalSystem
  bool DeleteRegistryValue(std::uint32_t root, const std::string& key, const std::string& name) override {
    auto it = keys_.find(RegKey(root, key));
    if (it == keys_.end()) return true;
    if (it->second.erase(Lower(name)) != 0) log.push_back("regval " + key + "|" + name);
    return true;
  }
  bool RegistryKeyIsEmpty(std::uint32_t root, const std::string& key) override {
    auto it = keys_.find(RegKey(root, key));
    return it != keys_.end() && it->second.empty() && !HasSubkeys(RegKey(root, key));
  }
  bool DeleteRegistryKey(std::uint32_t root, const std::string& key) override {
    const std::string k = RegKey(root, key);
    if (keys_.count(k) == 0) return true;
    if (HasSubkeys(k)) return false;
    keys_.erase(k);
    log.push_back("regkey " + key);
    return true;
  }
  bool RegistryKeyExists(std::uint32_t root, const std::string& key) override { return HasKey(root, key); }
  std::string ReadRegistryValue(std::uint32_t root, const std::string& key, const std::string& name) override {
    auto it = keys_.find(RegKey(root, key));
    if (it == keys_.end()) return "";
    auto value = it->second.find(Lower(name));
    return value == it->second.end() ? "" : value->second;
  }
  PathKind QueryPath(const std::string& path) override {
    auto it = nodes_.find(Key(path));
    return it == nodes_.end() ? PathKind::Missing : it->second.kind;
  }
  ShortcutTarget ReadShortcut(const std::string& path) override {
    auto it = nodes_.find(Key(path));
    return it == nodes_.end() ? ShortcutTarget{} : it->second.link;
  }
  bool DeleteOneFile(const std::string& path) override {
    auto it = nodes_.find(Key(path));
    if (it == nodes_.end()) return true;
    if (it->second.kind != PathKind::File || it->second.readOnly || it->second.locked) return false;
    nodes_.erase(it);
    log.push_back("delete " + path);
    return true;
  }
  void ClearReadOnly(const std::string& path) override {
    auto it = nodes_.find(Key(path));
    if (it != nodes_.end()) it->second.readOnly = false;
  }
  bool ScheduleDeletion(const std::string& path) override {
    log.push_back("schedule " + path);
    return true;
  }
  bool RemoveFolderOnly(const std::string& path) override {
    auto it = nodes_.find(Key(path));
    if (it == nodes_.end()) return true;
    if (it->second.kind == PathKind::Folder && !ListFolder(path).empty()) return false;
    if (it->second.kind == PathKind::File) return false;
    nodes_.erase(it);
    log.push_back("rmdir " + path);
    return true;
  }
  std::vector<FolderItem> ListFolder(const std::string& folder) override {
    std::vector<FolderItem> items;
    const std::string parent = Key(folder);
    for (const auto& entry : nodes_) {
      const std::string& k = entry.first;
      if (k.size() > parent.size() + 1 && k.compare(0, parent.size(), parent) == 0 && k[parent.size()] == '\\' &&
          k.find('\\', parent.size() + 1) == std::string::npos) {
        items.push_back({PathFileName(entry.second.path), entry.second.kind});
      }
    }
    return items;
  }

 private:
  static std::string Lower(const std::string& text) {
    std::string lower = text;
    for (char& c : lower) c = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    return lower;
  }
  static std::string Key(const std::string& path) { return NormaliseFolderPath(path); }
  static std::string RegKey(std::uint32_t root, const std::string& key) {
    std::string path = UnsignedToText(root);
    for (const std::string& level : RegistryKeyLevels(key)) path += "\\" + Lower(level);
    return path;
  }
  bool HasSubkeys(const std::string& k) const {
    for (const auto& entry : keys_) {
      if (entry.first.size() > k.size() && entry.first.compare(0, k.size(), k) == 0 && entry.first[k.size()] == '\\')
        return true;
    }
    return false;
  }
  Node& Add(const std::string& path, PathKind kind) {
    std::string trimmed = path;
    while (!trimmed.empty() && trimmed.back() == '\\') trimmed.pop_back();
    const std::string parent = PathFolderPart(trimmed);
    if (parent.size() > 3 && nodes_.count(Key(parent)) == 0) Add(parent, PathKind::Folder);
    Node& node = nodes_[Key(trimmed)];
    node.path = trimmed;
    node.kind = kind;
    return node;
  }

  std::map<std::string, Node> nodes_;
  std::map<std::string, std::map<std::string, std::string>> keys_;
};

}  // namespace brindorel
