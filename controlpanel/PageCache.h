// The page cache of the control panel: the files of the pages scanned and not yet served,
// oldest first, each with the number of times it was served, and the file of the page taken
// last. Every file of the cache directory is a BMP file named after the local time of its
// arrival ("ddhhnnss.bmp"); pages of one second keep the stem and get a counter
// ("ddhhnnss-1.bmp", "ddhhnnss-2.bmp", ...), so that no page replaces another.
#pragma once

#include <ctime>
#include <string>
#include <vector>

struct TPendingPage {
  std::string Path;
  int ServeCount = 0;  // 1: served once in "Mirafold" mode
};

class TPageCache {
 public:
  // The cache directory, with a trailing path delimiter.
  std::string Dir;
  std::vector<TPendingPage> PendingPages;
  std::string LastServedFile;

  // A full path in the cache for a page that arrives at Now, named by no file there.
  std::string NewFileName(std::time_t Now) const;
  void Append(const std::string& Path) { PendingPages.push_back({Path, 0}); }
  // Forgets the pages and the page taken last; the files stay.
  void Reset();
  // Deletes every "*.bmp" file of the directory, the last one listed first; failures to delete
  // are ignored.
  void Clear() const;
};

// Every "*.bmp" file of Dir (any case of the extension), sorted by name.
std::vector<std::string> BitmapFiles(const std::string& Dir);
