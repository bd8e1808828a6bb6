// Live reload in development mode: watches the served folder and every folder
// below it (inotify, through QFileSystemWatcher), folders made later included, and
// calls |changed| once the files have been quiet for a moment, so that the burst
// of writes of a bundler's rebuild gives one reload. Each time is said on standard
// error.
//
// Symbolic links are not followed (the folder serves nothing through one that
// leads out), and at most kMaxWatched files and folders are watched: a folder that
// large is told about once on standard error, and its further files go unwatched.
//
// UI thread only.
#ifndef SRC_APP_WEB_FOLDER_WATCHER_H_
#define SRC_APP_WEB_FOLDER_WATCHER_H_

#include <QFileSystemWatcher>
#include <QObject>
#include <QString>
#include <QTimer>
#include <functional>

class WebFolderWatcher : public QObject {
  Q_OBJECT
 public:
  WebFolderWatcher(const QString& root, std::function<void()> changed);

  static constexpr int kQuietMs = 100;
  static constexpr int kMaxWatched = 20000;

 private:
  // Watches whatever under the root is not watched yet.
  void Scan();
  void OnChange();
  void OnQuiet();

  QString root_;
  std::function<void()> changed_;
  QFileSystemWatcher watcher_;
  QTimer quiet_;
  bool told_too_many_ = false;
};

#endif  // SRC_APP_WEB_FOLDER_WATCHER_H_
