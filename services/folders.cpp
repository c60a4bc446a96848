#include "services/folders.h"

#include <algorithm>

namespace brindorel {

const FolderPlaceholder kFolderPlaceholders[10] = {
    {"%ProgramFiles%", kProgramFilesFolderId}, {"%Windows%", kWindowsFolderId},
    {"%System%", kSystemFolderId},             {"%CommonFiles%", kCommonFilesFolderId},
    {"%AppData%", kAppDataFolderId},           {"%StartUp%", kStartupFolderId},
    {"%QuickLaunch%", kQuickLaunchFolderId},   {"%MyDocuments%", kDocumentsFolderId},
    {"%Quillmark%", kQuillmarkOpenFolderId},   {"%Fonts%", kFontsFolderId},
};

namespace {

// Replaces every occurrence, left to right; inserted text is not searched again.
std::string ReplaceEvery(const std::string& text, const std::string& searched, const std::string& replacement) {
  std::string result;
  std::string::size_type from = 0;
  for (;;) {
    std::string::size_type found = text.find(searched, from);
    if (found == std::string::npos) break;
    result.append(text, from, found - from);
    result += replacement;
    from = found + searched.size();
  }
  result.append(text, from, std::string::npos);
  return result;
}

}  // namespace

bool StartsWithDrive(const std::string& path) {
  return path.size() >= 3 && path[1] == ':' && path[2] == '\\';
}

std::string WithTrailingSeparator(const std::string& folder) {
  if (folder.empty() || folder.back() == '\\') return folder;
  return folder + '\\';
}

std::string QuickLaunchFolder(const std::string& appDataFolder) {
  // Without the application-data folder the rest would be a relative path.
  if (appDataFolder.empty()) return "";
  return WithTrailingSeparator(appDataFolder) + "Microsoft\\Internet Explorer\\Quick Launch\\";
}

std::string CommandValueFolder(const std::string& command) {
  // The leading quote and the closing ` "%1"` are cut.
  if (command.size() <= 7) return "";
  std::string path = command.substr(1, command.size() - 7);
  std::string::size_type end = 0;  // one past the last separator seen
  for (std::string::size_type i = 0; i < path.size() && path[i] != '|'; ++i) {
    if (path[i] == '\\' || path[i] == '/') end = i + 1;
  }
  std::string::size_type start = (!path.empty() && path[0] == '"') ? 1 : 0;
  if (end <= start) return "";
  return path.substr(start, end - start);
}

std::string ExpandFolderPlaceholders(const std::string& text, const FolderLookup& lookup) {
  if (std::count(text.begin(), text.end(), '%') < 2) return lookup(kProgramFilesFolderId) + text;
  std::string result = text;
  std::string programFiles;
  for (const FolderPlaceholder& placeholder : kFolderPlaceholders) {
    std::string folder = lookup(placeholder.folderId);
    if (placeholder.folderId == kProgramFilesFolderId) programFiles = folder;
    result = ReplaceEvery(result, placeholder.name, folder);
  }
  if (!StartsWithDrive(result)) result = programFiles + result;
  return result;
}

}  // namespace brindorel
