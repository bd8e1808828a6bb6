#include "native/prepared_popups.h"

void PreparedPopups::Prepare(const std::string& name, std::vector<std::string> features) {
  std::lock_guard<std::mutex> lock(mutex_);
  table_[name] = std::move(features);
}

std::optional<std::vector<std::string>> PreparedPopups::Take(const std::string& name) {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = table_.find(name);
  if (it == table_.end())
    return std::nullopt;
  std::vector<std::string> features = std::move(it->second);
  table_.erase(it);
  return features;
}

PopupPlacement PreparedPopups::PlaceNext(const std::string& name,
                                         const Rect& requested,
                                         const Rect& opener,
                                         const Rect& visible) {
  std::lock_guard<std::mutex> lock(mutex_);
  std::vector<std::string> keywords;
  auto it = table_.find(name);
  if (it != table_.end()) {
    keywords = std::move(it->second);
    table_.erase(it);
  }
  pending_ = PlacePopup(keywords, requested, opener, visible);
  return pending_;
}

PopupPlacement PreparedPopups::pending() {
  std::lock_guard<std::mutex> lock(mutex_);
  return pending_;
}
