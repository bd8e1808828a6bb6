#include "app/web_folder_watcher.h"

#include <QDirIterator>
#include <QFileInfo>
#include <QSet>
#include <cstdio>
#include <utility>

#include "engine/thread_check.h"

WebFolderWatcher::WebFolderWatcher(const QString& root, std::function<void()> changed)
    : root_(root), changed_(std::move(changed)) {
  quiet_.setSingleShot(true);
  quiet_.setInterval(kQuietMs);
  connect(&quiet_, &QTimer::timeout, this, &WebFolderWatcher::OnQuiet);
  // A file written in place changes the file; one written beside and renamed over
  // it (as editors and bundlers save), made or removed changes its folder.
  connect(&watcher_, &QFileSystemWatcher::fileChanged, this, &WebFolderWatcher::OnChange);
  connect(&watcher_, &QFileSystemWatcher::directoryChanged, this,
          &WebFolderWatcher::OnChange);
  Scan();
}

void WebFolderWatcher::Scan() {
  const QStringList files = watcher_.files();
  const QStringList folders = watcher_.directories();
  QSet<QString> watched(files.begin(), files.end());
  watched.unite(QSet<QString>(folders.begin(), folders.end()));
  QStringList add;
  if (!watched.contains(root_))
    add.append(root_);
  QDirIterator it(root_, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden,
                  QDirIterator::Subdirectories);
  while (it.hasNext()) {
    const QString path = it.next();
    if (it.fileInfo().isSymLink() || watched.contains(path))
      continue;
    if (watched.size() + add.size() >= kMaxWatched) {
      if (!told_too_many_)
        std::fprintf(stderr,
                     "lumio: %s has more than %d files and folders; changes to the "
                     "others do not reload the page\n",
                     root_.toLocal8Bit().constData(), kMaxWatched);
      told_too_many_ = true;
      break;
    }
    add.append(path);
  }
  if (!add.isEmpty())
    watcher_.addPaths(add);
}

void WebFolderWatcher::OnChange() {
  LUMIO_ASSERT_UI_THREAD();
  quiet_.start();
}

void WebFolderWatcher::OnQuiet() {
  // Folders and files that came with the change are watched from now on; a file
  // replaced by a rename is watched again under its name.
  Scan();
  std::fprintf(stderr, "lumio: %s changed; reloading\n", root_.toLocal8Bit().constData());
  std::fflush(stderr);
  changed_();
}
