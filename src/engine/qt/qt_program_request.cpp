#include "engine/qt/qt_program_request.h"

#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPointer>
#include <QTimer>
#include <QUrl>

namespace engine {
namespace {

// A request that has not finished by then fails, as a hung server would leave
// the page waiting for ever.
constexpr int kTransferTimeoutMs = 120000;

QNetworkAccessManager* Network() {
  // Lives as long as the application object; replies are children of it.
  static QPointer<QNetworkAccessManager> network;
  if (!network)
    network = new QNetworkAccessManager(QCoreApplication::instance());
  return network;
}

// Headers that the page may not set on a request, as the engine itself refuses
// them (forbidden header names), or that only the network layer knows.
bool IsForbiddenHeader(const QByteArray& name) {
  static const char* const kForbidden[] = {"accept-charset",
                                           "accept-encoding",
                                           "access-control-request-headers",
                                           "access-control-request-method",
                                           "connection",
                                           "content-length",
                                           "cookie",
                                           "cookie2",
                                           "date",
                                           "dnt",
                                           "expect",
                                           "host",
                                           "keep-alive",
                                           "origin",
                                           "referer",
                                           "te",
                                           "trailer",
                                           "transfer-encoding",
                                           "upgrade",
                                           "via"};
  const QByteArray lower = name.toLower();
  for (const char* forbidden : kForbidden) {
    if (lower == forbidden)
      return true;
  }
  return lower.startsWith("proxy-") || lower.startsWith("sec-");
}

}  // namespace

void StartProgramRequest(const QString& description,
                         QObject* context,
                         std::function<void(bool ok, const QString& answer)> done) {
  const QJsonObject request = QJsonDocument::fromJson(description.toUtf8()).object();
  const QUrl url(request.value(QLatin1String("url")).toString(), QUrl::StrictMode);
  const QByteArray method =
      request.value(QLatin1String("method")).toString().toLatin1().toUpper();
  if (!url.isValid() ||
      (url.scheme() != QLatin1String("http") && url.scheme() != QLatin1String("https")) ||
      method.isEmpty() || method == "CONNECT" || method == "TRACE" || method == "TRACK") {
    QTimer::singleShot(
        0, context, [done = std::move(done)] { done(false, QStringLiteral("refused")); });
    return;
  }
  QNetworkRequest network_request(url);
  network_request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                               QNetworkRequest::NoLessSafeRedirectPolicy);
  network_request.setTransferTimeout(kTransferTimeoutMs);
  for (const QJsonValue header : request.value(QLatin1String("headers")).toArray()) {
    const QJsonArray pair = header.toArray();
    const QByteArray name = pair.at(0).toString().toLatin1();
    if (!name.isEmpty() && !IsForbiddenHeader(name))
      network_request.setRawHeader(name, pair.at(1).toString().toLatin1());
  }
  const QJsonValue body_value = request.value(QLatin1String("body"));
  const QByteArray body = body_value.isString()
                              ? QByteArray::fromBase64(body_value.toString().toLatin1())
                              : QByteArray();
  QNetworkReply* reply = Network()->sendCustomRequest(
      network_request, method, body_value.isString() ? body : QByteArray());
  QPointer<QObject> guard(context);
  // Larger bodies are not kept: the answer crosses into the page as text.
  QObject::connect(reply, &QNetworkReply::downloadProgress, reply,
                   [reply](qint64 received, qint64) {
                     if (received > kMaxProgramResponseBytes)
                       reply->abort();
                   });
  QObject::connect(reply, &QNetworkReply::finished, reply, [reply, guard, done] {
    reply->deleteLater();
    if (!guard)
      return;
    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    // An answer from the server is an answer, whatever its status; only a
    // request that got none fails.
    if (!status.isValid() || reply->error() == QNetworkReply::OperationCanceledError) {
      done(false, reply->errorString());
      return;
    }
    const QByteArray content = reply->readAll();
    if (content.size() > kMaxProgramResponseBytes) {
      done(false, QStringLiteral("response too large"));
      return;
    }
    QJsonArray headers;
    for (const auto& [name, value] : reply->rawHeaderPairs())
      headers.append(QJsonArray{QString::fromLatin1(name), QString::fromLatin1(value)});
    QJsonObject answer;
    answer.insert(QLatin1String("status"), status.toInt());
    answer.insert(
        QLatin1String("statusText"),
        QString::fromLatin1(
            reply->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toByteArray()));
    answer.insert(QLatin1String("url"), reply->url().toString(QUrl::FullyEncoded));
    answer.insert(QLatin1String("headers"), headers);
    answer.insert(QLatin1String("body"), QString::fromLatin1(content.toBase64()));
    done(true, QString::fromUtf8(QJsonDocument(answer).toJson(QJsonDocument::Compact)));
  });
}

}  // namespace engine
