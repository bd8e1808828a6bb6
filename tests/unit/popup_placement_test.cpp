// Popup style and place from the prepared keywords.
#include "native/popup_placement.h"

#include <gtest/gtest.h>

namespace {

const Rect kRequested{7, 9, 301, 201};

TEST(PopupPlacementTest, StyleFromKeywords) {
  const Rect zero;
  EXPECT_EQ(kStyleResizable, PlacePopup({}, kRequested, zero, zero).style_mask);
  EXPECT_EQ(kStyleBorderless,
            PlacePopup({"noborder"}, kRequested, zero, zero).style_mask);
  EXPECT_EQ(kStyleFixed, PlacePopup({"fixed"}, kRequested, zero, zero).style_mask);
  EXPECT_EQ(kStyleBorderless,
            PlacePopup({"noborder", "fixed"}, kRequested, zero, zero).style_mask);
  EXPECT_EQ(kStyleBorderless,
            PlacePopup({"fixed", "noborder"}, kRequested, zero, zero).style_mask);
  // Exact words only.
  EXPECT_EQ(kStyleResizable,
            PlacePopup({"NoBorder", "fixed ", ""}, kRequested, zero, zero).style_mask);
  // Without a positional keyword the page's own rectangle stands.
  const PopupPlacement plain = PlacePopup({"fixed"}, kRequested, zero, zero);
  EXPECT_EQ(7, plain.content.x);
  EXPECT_EQ(9, plain.content.y);
  EXPECT_EQ(301, plain.content.width);
  EXPECT_EQ(201, plain.content.height);
  EXPECT_FALSE(plain.positioned);
  EXPECT_FALSE(PlacePopup({"noborder", "centre"}, kRequested, zero, zero).positioned);
}

TEST(PopupPlacementTest, CenterOnTheOpener) {
  const PopupPlacement p =
      PlacePopup({"center"}, kRequested, Rect{100, 200, 400, 600}, Rect{0, 0, 1440, 900});
  EXPECT_EQ(150, p.content.x);
  EXPECT_EQ(400, p.content.y);
  EXPECT_EQ(301, p.content.width);
  EXPECT_EQ(201, p.content.height);
  EXPECT_TRUE(p.positioned);
  // No opener: around the origin.
  const PopupPlacement alone = PlacePopup({"center"}, kRequested, Rect{}, Rect{});
  EXPECT_EQ(-150, alone.content.x);
  EXPECT_EQ(-100, alone.content.y);
}

TEST(PopupPlacementTest, BottomsideLeftOfTheOpenerOrRightWhenNoRoom) {
  const Rect popup{0, 0, 300, 200};
  const Rect visible{0, 40, 1440, 860};
  const PopupPlacement left =
      PlacePopup({"bottomside"}, popup, Rect{500, 120, 330, 650}, visible);
  EXPECT_EQ(190, left.content.x);
  EXPECT_EQ(120, left.content.y);
  EXPECT_TRUE(left.positioned);
  const PopupPlacement right =
      PlacePopup({"bottomside"}, popup, Rect{200, 120, 330, 650}, visible);
  EXPECT_EQ(540, right.content.x);
  // Never below the visible area.
  const PopupPlacement low =
      PlacePopup({"bottomside"}, popup, Rect{500, 10, 330, 650}, visible);
  EXPECT_EQ(40, low.content.y);
}

TEST(PopupPlacementTest, LaterKeywordsMoveItAgain) {
  const Rect opener{100, 200, 400, 600};
  const Rect visible{0, 0, 1440, 900};
  const PopupPlacement centre_last =
      PlacePopup({"bottomside", "center"}, kRequested, opener, visible);
  EXPECT_EQ(150, centre_last.content.x);
  const PopupPlacement side_last =
      PlacePopup({"center", "bottomside"}, kRequested, opener, visible);
  EXPECT_EQ(510, side_last.content.x);  // left would be -211, so right of the opener
  EXPECT_EQ(200, side_last.content.y);
}

}  // namespace
