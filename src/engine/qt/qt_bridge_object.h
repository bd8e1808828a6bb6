// The object the page's bridge world talks to over the web channel, and where
// the channel's Qt JSON values become the wire format's (bridge_wire.h). Lives in
// the browser process, on the UI thread; one per page. Only the top frame's
// bridge world holds the channel's transport, so everything that arrives here was
// sent by the program's own script.
#ifndef SRC_ENGINE_QT_QT_BRIDGE_OBJECT_H_
#define SRC_ENGINE_QT_QT_BRIDGE_OBJECT_H_

#include <QJsonArray>
#include <QObject>
#include <memory>
#include <vector>

#include "engine/qt/bridge_wire.h"

namespace engine {

class QtBrowser;

class BridgeObject : public QObject {
  Q_OBJECT
 public:
  explicit BridgeObject(std::weak_ptr<QtBrowser> browser)
      : browser_(std::move(browser)) {}

  // A batch of what the page's documents did; returns the answers given while
  // it was handled.
  Q_INVOKABLE QJsonArray post(const QJsonArray& batch);

  // Sends answers given after their batch was handled.
  void Send(const std::vector<BridgeAnswer>& answers);

 signals:
  void responses(const QJsonArray& answers);

 private:
  // The page's objects may outlive the browser by a turn of the event loop.
  std::weak_ptr<QtBrowser> browser_;
};

}  // namespace engine

#endif  // SRC_ENGINE_QT_QT_BRIDGE_OBJECT_H_
