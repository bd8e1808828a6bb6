// The prepared popup table: the features the page stored under a popup's name,
// taken out again when a popup of that name opens. The engine asks for popups on
// its IO thread while the page's commands run on the UI thread, so the table has
// its own lock. Qt-free. The program's Shell owns the one table; the client and
// the popup service hold references to it.
#ifndef SRC_NATIVE_PREPARED_POPUPS_H_
#define SRC_NATIVE_PREPARED_POPUPS_H_

#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "bridge/bridge_services.h"
#include "native/popup_placement.h"

class PreparedPopups {
 public:
  // Stores |features| under |name|, replacing an earlier entry; an empty list is
  // an entry too.
  void Prepare(const std::string& name, std::vector<std::string> features);
  // Removes and returns the entry of |name|, if there is one.
  std::optional<std::vector<std::string>> Take(const std::string& name);

  // Takes the entry of |name| (none: no keywords), places the popup with it (see
  // PlacePopup) and keeps the result as the pending popup, all in one step.
  PopupPlacement PlaceNext(const std::string& name,
                           const Rect& requested,
                           const Rect& opener,
                           const Rect& visible);
  // The placement of the most recent PlaceNext, for the window made next.
  PopupPlacement pending();

 private:
  std::mutex mutex_;
  std::map<std::string, std::vector<std::string>> table_;
  PopupPlacement pending_;
};

// The page's PopupService: prepares popups in |popups|, which must outlive it.
class PreparedPopupService : public PopupService {
 public:
  explicit PreparedPopupService(PreparedPopups& popups) : popups_(popups) {}

  void Prepare(const std::string& name,
               const std::vector<std::string>& features) override {
    popups_.Prepare(name, features);
  }

 private:
  PreparedPopups& popups_;
};

#endif  // SRC_NATIVE_PREPARED_POPUPS_H_
