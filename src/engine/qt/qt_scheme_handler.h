// Serves a custom scheme from the program's SchemeHandlerFactory objects.
#ifndef SRC_ENGINE_QT_QT_SCHEME_HANDLER_H_
#define SRC_ENGINE_QT_QT_SCHEME_HANDLER_H_

#include <QWebEngineUrlSchemeHandler>
#include <map>
#include <memory>
#include <string>

#include "engine/scheme.h"

namespace engine {

class QtSchemeHandler : public QWebEngineUrlSchemeHandler {
  Q_OBJECT
 public:
  // |no_store|: answers tell the engine to keep no copy (development mode).
  QtSchemeHandler(std::string scheme_name, bool no_store, QObject* parent = nullptr)
      : QWebEngineUrlSchemeHandler(parent),
        scheme_name_(std::move(scheme_name)),
        no_store_(no_store) {}

  void SetFactory(const std::string& domain,
                  std::shared_ptr<SchemeHandlerFactory> factory) {
    factories_[domain] = std::move(factory);
  }

  // Called on the UI thread. A request whose host has no factory, or that the
  // factory does not answer, fails as "not found".
  void requestStarted(QWebEngineUrlRequestJob* job) override;

 private:
  std::string scheme_name_;
  bool no_store_;
  std::map<std::string, std::shared_ptr<SchemeHandlerFactory>> factories_;
};

}  // namespace engine

#endif  // SRC_ENGINE_QT_QT_SCHEME_HANDLER_H_
