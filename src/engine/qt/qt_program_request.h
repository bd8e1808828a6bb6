// Cross-origin requests that the program makes on behalf of the app's own
// documents. The engine keeps the web's same-origin rules for every document, the
// app's included; a request of the app's that the engine refused (a server that
// sends no CORS headers) is sent again from here, where no such rule applies. The
// browser lets only documents that its client trusts use this (see
// RequestHandler::MayRequestAcrossOrigins).
//
// A request is described as JSON text: {"method", "url", "headers": [[name,
// value]], "body": base64 or null}. The answer is JSON text too: {"status",
// "statusText", "url", "headers": [[name, value]], "body": base64}. Only http and
// https addresses are fetched; requests carry none of the engine's cookies.
#ifndef SRC_ENGINE_QT_QT_PROGRAM_REQUEST_H_
#define SRC_ENGINE_QT_QT_PROGRAM_REQUEST_H_

#include <QObject>
#include <QString>
#include <functional>

namespace engine {

// A response body larger than this fails the request.
constexpr qint64 kMaxProgramResponseBytes = qint64{32} * 1024 * 1024;

// Starts the request |description| describes; |done| is called once on the UI
// thread with the answer, or with false and a reason. Nothing is called after
// |context| is destroyed.
void StartProgramRequest(const QString& description,
                         QObject* context,
                         std::function<void(bool ok, const QString& answer)> done);

}  // namespace engine

#endif  // SRC_ENGINE_QT_QT_PROGRAM_REQUEST_H_
