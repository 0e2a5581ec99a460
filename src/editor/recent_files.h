// The file menu's list of recently opened files, newest first, without widgets or settings: the
// window keeps it between runs and shows it as menu items.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "model/host.h"

namespace vorna {

class RecentFiles {
 public:
  static constexpr size_t kMaxFiles = 10;

  RecentFiles() = default;
  // A stored list: empty names and repeats are dropped, the rest cut to kMaxFiles.
  explicit RecentFiles(const std::vector<std::string>& paths);

  const std::vector<std::string>& paths() const { return paths_; }

  // An opened file goes to the front; an earlier entry of the same path is removed.
  void Push(const std::string& path);
  // Before opening an entry: false, with a message naming it, when its file is gone (as
  // `exists` says); the entry is then removed.
  bool CheckStillThere(const std::string& path, Host& host,
                       const std::function<bool(const std::string&)>& exists);

 private:
  std::vector<std::string> paths_;
};

// "<path>\r\n\r\nが見つかりません。\r\n最近使ったファイルの一覧から削除します。"
std::string RecentFileGoneMessage(const std::string& path);

}  // namespace vorna
