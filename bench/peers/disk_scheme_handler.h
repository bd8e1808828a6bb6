// Serves app://<any host>/<path> from a folder on disk, file by file, with no
// cache and no checks beyond the file's existence.
#ifndef BENCH_PEERS_DISK_SCHEME_HANDLER_H_
#define BENCH_PEERS_DISK_SCHEME_HANDLER_H_

#include <QString>
#include <QWebEngineUrlSchemeHandler>

class DiskSchemeHandler : public QWebEngineUrlSchemeHandler {
  Q_OBJECT
 public:
  DiskSchemeHandler(QString root, QObject* parent)
      : QWebEngineUrlSchemeHandler(parent), root_(std::move(root)) {}

  // Called on the UI thread; the engine reads the opened file as it needs it.
  void requestStarted(QWebEngineUrlRequestJob* job) override;

 private:
  QString root_;
};

#endif  // BENCH_PEERS_DISK_SCHEME_HANDLER_H_
