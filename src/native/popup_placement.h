// Where a popup window goes and how it looks, from the keywords the page
// prepared for it. Computed in bottom-left-origin screen coordinates (see
// window_geometry.h), like the main window's placement. Qt-free.
#ifndef SRC_NATIVE_POPUP_PLACEMENT_H_
#define SRC_NATIVE_POPUP_PLACEMENT_H_

#include <cstdint>
#include <string>
#include <vector>

#include "native/window_geometry.h"

// Window styles, as bits: titled 1, closable 2, miniaturizable 4, resizable 8;
// 0 is borderless.
constexpr uint32_t kStyleBorderless = 0;
constexpr uint32_t kStyleFixed = 7;
constexpr uint32_t kStyleResizable = 15;

struct PopupPlacement {
  Rect content;  // the popup's content rectangle
  uint32_t style_mask = kStyleResizable;
  // Whether "bottomside" or "center" placed it (a compositor may not allow that).
  bool positioned = false;
};

// |requested| is the content rectangle the page asked for (its x and y already
// in bottom-left coordinates). "noborder" makes the window borderless and fixed,
// "fixed" keeps its size, "bottomside" puts it beside the opener's frame with the
// bottom edges aligned (left of it, or right when it would start left of the
// visible area), "center" centres it on the opener's frame; later keywords
// override the position of earlier ones, unknown ones are ignored. |opener| is
// the opener window's frame and |visible| its screen's visible area; either may
// be the zero rectangle when unknown.
PopupPlacement PlacePopup(const std::vector<std::string>& keywords,
                          const Rect& requested,
                          const Rect& opener,
                          const Rect& visible);

#endif  // SRC_NATIVE_POPUP_PLACEMENT_H_
