#include "native/popup_placement.h"

#include <algorithm>

namespace {

// Toward zero, as a 32-bit integer.
double Truncate(double value) {
  return static_cast<double>(static_cast<int32_t>(value));
}

}  // namespace

PopupPlacement PlacePopup(const std::vector<std::string>& keywords,
                          const Rect& requested,
                          const Rect& opener,
                          const Rect& visible) {
  PopupPlacement placement;
  placement.content = requested;
  bool noborder = false;
  bool fixed = false;
  const int32_t width = static_cast<int32_t>(requested.width);
  const int32_t height = static_cast<int32_t>(requested.height);
  for (const std::string& keyword : keywords) {
    if (keyword == "noborder") {
      noborder = true;
      fixed = true;
    } else if (keyword == "fixed") {
      fixed = true;
    } else if (keyword == "bottomside") {
      double x = Truncate(opener.x - width - 10);
      if (visible.x > x)
        x = Truncate(opener.x + opener.width + 10);
      placement.content.x = x;
      placement.content.y = Truncate(std::max(visible.y, opener.y));
      placement.positioned = true;
    } else if (keyword == "center") {
      // The popup's size is halved as a whole number first.
      const int32_t half_width = width / 2;
      const int32_t half_height = height / 2;
      placement.content.x = Truncate(opener.width * 0.5 + opener.x - half_width);
      placement.content.y = Truncate(opener.height * 0.5 + opener.y - half_height);
      placement.positioned = true;
    }
  }
  placement.style_mask = (noborder ? kStyleBorderless : kStyleFixed) | (fixed ? 0u : 8u);
  return placement;
}
