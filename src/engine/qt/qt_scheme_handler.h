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
  // |development|: answers tell the engine to keep no copy, and what is not found
  // is said on standard error, as a web developer's server does.
  QtSchemeHandler(std::string scheme_name, bool development, QObject* parent = nullptr)
      : QWebEngineUrlSchemeHandler(parent),
        scheme_name_(std::move(scheme_name)),
        development_(development) {}

  void SetFactory(const std::string& domain,
                  std::shared_ptr<SchemeHandlerFactory> factory) {
    factories_[domain] = std::move(factory);
  }

  // Called on the UI thread. A request whose host has no factory, or that the
  // factory does not answer, fails as "not found". A module script whose import
  // is missing tells the page no more than that the module failed.
  void requestStarted(QWebEngineUrlRequestJob* job) override;

 private:
  std::string scheme_name_;
  bool development_;
  std::map<std::string, std::shared_ptr<SchemeHandlerFactory>> factories_;
};

}  // namespace engine

#endif  // SRC_ENGINE_QT_QT_SCHEME_HANDLER_H_
