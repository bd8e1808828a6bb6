#include "engine/qt/qt_scheme_handler.h"

#include <QBuffer>
#include <QMultiMap>
#include <QWebEngineUrlRequestJob>
#include <cstdio>

#include "engine/thread_check.h"

namespace engine {
namespace {

// Reads the response straight from the handler's bytes, which it keeps alive.
class SharedBuffer : public QBuffer {
 public:
  SharedBuffer(std::shared_ptr<const std::string> data, QObject* parent)
      : QBuffer(parent), data_(std::move(data)) {
    bytes_ =
        QByteArray::fromRawData(data_->data(), static_cast<qsizetype>(data_->size()));
    setBuffer(&bytes_);
    open(QIODevice::ReadOnly);
  }

 private:
  std::shared_ptr<const std::string> data_;
  QByteArray bytes_;
};

}  // namespace

void QtSchemeHandler::requestStarted(QWebEngineUrlRequestJob* job) {
  LUMIO_ASSERT_UI_THREAD();
  const QUrl url = job->requestUrl();
  auto it = factories_.find(url.host().toLower().toStdString());
  if (it == factories_.end()) {
    job->fail(QWebEngineUrlRequestJob::UrlNotFound);
    return;
  }
  URLRequest request(url.toString(QUrl::FullyEncoded).toStdString());
  std::shared_ptr<ResourceHandler> handler =
      it->second->Create(nullptr, nullptr, scheme_name_, request);
  if (!handler) {
    if (development_) {
      std::fprintf(stderr, "lumio: %s not found\n",
                   url.toString(QUrl::FullyEncoded).toUtf8().constData());
      std::fflush(stderr);
    }
    job->fail(QWebEngineUrlRequestJob::UrlNotFound);
    return;
  }
  // Keeps the engine's memory cache from serving an old copy of a file being
  // edited on a plain reload. Qt 6.4 gives an answer no headers; there every
  // reload in development mode bypasses the caches instead (QtDevelopment).
#if QT_VERSION >= QT_VERSION_CHECK(6, 8, 0)
  if (handler->no_store()) {
    QMultiMap<QByteArray, QByteArray> headers;
    headers.insert("Cache-Control", "no-store");
    job->setAdditionalResponseHeaders(headers);
  }
#endif
  auto* buffer = new SharedBuffer(handler->shared_data(), job);
  job->reply(QByteArray::fromStdString(handler->mime_type()), buffer);
}

}  // namespace engine
