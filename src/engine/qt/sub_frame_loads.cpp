#include "engine/qt/sub_frame_loads.h"

#include <algorithm>

#include "engine/url_parts.h"

namespace engine {
namespace {

// Sub-frame navigations remembered until their frames report them.
constexpr size_t kMaxSubFrameLoads = 256;

}  // namespace

void SubFrameLoads::OnSubFrameNavigation(const std::string& address,
                                         const std::string& main_origin) {
  loads_.push_back(address);
  if (loads_.size() > kMaxSubFrameLoads)
    loads_.pop_front();
  // An empty document has its parent's origin; anything else of another origin
  // than the page (srcdoc and data: included) is foreign.
  if (address != "about:blank" && URLOrigin(address) != main_origin)
    foreign_frames_ = true;
}

bool SubFrameLoads::Take(const std::string& address) {
  const auto load = std::find(loads_.begin(), loads_.end(), address);
  if (load == loads_.end())
    return false;
  loads_.erase(load);
  return true;
}

}  // namespace engine
