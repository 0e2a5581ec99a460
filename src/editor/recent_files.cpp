#include "editor/recent_files.h"

#include <algorithm>

namespace vorna {

RecentFiles::RecentFiles(const std::vector<std::string>& paths) {
  // Oldest first, so that the stored order comes out again.
  for (auto it = paths.rbegin(); it != paths.rend(); ++it) {
    if (!it->empty()) Push(*it);
  }
}

void RecentFiles::Push(const std::string& path) {
  std::erase(paths_, path);
  paths_.insert(paths_.begin(), path);
  if (paths_.size() > kMaxFiles) paths_.resize(kMaxFiles);
}

bool RecentFiles::CheckStillThere(const std::string& path, Host& host,
                                  const std::function<bool(const std::string&)>& exists) {
  if (exists(path)) return true;
  std::erase(paths_, path);
  host.Message(RecentFileGoneMessage(path), MessageIcon::kNone);
  return false;
}

std::string RecentFileGoneMessage(const std::string& path) {
  return path + "\r\n\r\nが見つかりません。\r\n最近使ったファイルの一覧から削除します。";
}

}  // namespace vorna
