// Everything the Qt backend keeps for the whole run: the profile, its scheme
// handlers, and the browsers. engine::Initialize creates the one context and
// engine::Shutdown destroys it; in between, Get() returns it.
//
// Only used on the UI thread.
#ifndef SRC_ENGINE_QT_QT_ENGINE_CONTEXT_H_
#define SRC_ENGINE_QT_QT_ENGINE_CONTEXT_H_

#include <QElapsedTimer>
#include <QList>
#include <QStringList>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "engine/engine.h"

class QWebEngineProfile;

namespace engine {

class QtBrowser;
class QtSchemeHandler;

class QtEngineContext {
 public:
  // Makes the profile, with the program's scripts in every frame.
  explicit QtEngineContext(const Settings& settings);
  // Closes every browser and lets what their unload handlers sent leave before
  // the profile goes: pages must go before their profile.
  ~QtEngineContext();
  QtEngineContext(const QtEngineContext&) = delete;
  QtEngineContext& operator=(const QtEngineContext&) = delete;

  // The context between Initialize and Shutdown; null before and after. Engine
  // calls (Qt's signals, the public functions of engine.h) carry no context, so
  // the backend finds it here: it is the one pointer kept for the whole process.
  static QtEngineContext* Get();

  QWebEngineProfile* profile() const { return profile_; }
  bool development() const { return development_; }
  bool RegisterSchemeHandlerFactory(const std::string& scheme_name,
                                    const std::string& domain_name,
                                    const std::shared_ptr<SchemeHandlerFactory>& factory);

  int NextBrowserId() { return ++last_browser_id_; }
  // Every browser that has not closed yet, by identifier.
  const std::map<int, std::shared_ptr<QtBrowser>>& browsers() const { return browsers_; }
  void AddBrowser(const std::shared_ptr<QtBrowser>& browser);
  void RemoveBrowser(int id) { browsers_.erase(id); }

  // Popups made but not yet given to the client, kept alive until then.
  void AddPendingPopup(const std::shared_ptr<QtBrowser>& popup);
  void RemovePendingPopup(const std::shared_ptr<QtBrowser>& popup);

  // A page's unload handlers have finished.
  void OnUnloadFinished() { last_unload_.start(); }

 private:
  // The browsers outlive the profile, as the client may keep them.
  std::map<int, std::shared_ptr<QtBrowser>> browsers_;
  std::vector<std::shared_ptr<QtBrowser>> pending_popups_;
  int last_browser_id_ = 0;
  QElapsedTimer last_unload_;             // invalid until a page's unload handlers ran
  QWebEngineProfile* profile_ = nullptr;  // owned
  bool development_ = false;
  // Owned by the profile.
  std::map<std::string, QtSchemeHandler*> scheme_handlers_;
  // The folders of the profile's first storage that this run made, and which of
  // them were there before; empty when the cache lives elsewhere.
  QStringList stray_folders_;
  QList<bool> stray_folders_existed_;
};

}  // namespace engine

#endif  // SRC_ENGINE_QT_QT_ENGINE_CONTEXT_H_
