// The navigations of a page's sub-frames that the browser saw. Qt reports
// address changes of the main frame only, and a frame of another origin reports
// its address from the page: only an address that a frame of this page really
// went to is believed, once. Also tells whether a frame of another origin than
// the main document's was shown since the main frame last navigated.
#ifndef SRC_ENGINE_QT_SUB_FRAME_LOADS_H_
#define SRC_ENGINE_QT_SUB_FRAME_LOADS_H_

#include <deque>
#include <string>

namespace engine {

class SubFrameLoads {
 public:
  void OnMainFrameNavigation() { foreign_frames_ = false; }
  // A sub-frame goes to |address| (as the engine wrote it) in a page whose main
  // document has |main_origin|.
  void OnSubFrameNavigation(const std::string& address, const std::string& main_origin);
  // Whether a sub-frame went to |address| and has not reported it yet; it has now.
  bool Take(const std::string& address);
  bool foreign_frames() const { return foreign_frames_; }

 private:
  std::deque<std::string> loads_;  // oldest first
  bool foreign_frames_ = false;
};

}  // namespace engine

#endif  // SRC_ENGINE_QT_SUB_FRAME_LOADS_H_
