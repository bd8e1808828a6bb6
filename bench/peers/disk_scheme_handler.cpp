#include "disk_scheme_handler.h"

#include <QFile>
#include <QWebEngineUrlRequestJob>

namespace {

QByteArray MimeType(const QString& path) {
  if (path.endsWith(QLatin1String(".html")))
    return QByteArrayLiteral("text/html");
  if (path.endsWith(QLatin1String(".js")))
    return QByteArrayLiteral("application/javascript");
  if (path.endsWith(QLatin1String(".css")))
    return QByteArrayLiteral("text/css");
  return QByteArrayLiteral("text/plain");
}

}  // namespace

void DiskSchemeHandler::requestStarted(QWebEngineUrlRequestJob* job) {
  const QString path = job->requestUrl().path();
  auto* file = new QFile(root_ + path, job);
  if (path.contains(QLatin1String("..")) || !file->open(QIODevice::ReadOnly)) {
    job->fail(QWebEngineUrlRequestJob::UrlNotFound);
    return;
  }
  job->reply(MimeType(path), file);
}
