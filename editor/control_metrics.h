#pragma once
// Sizes of the parts of the drawn controls, in pixels at one scale. Lines stay
// whole pixels wide so that they stay sharp at every scale.
#include <algorithm>
#include <cmath>

namespace tolvar {

struct ControlMetrics {
    explicit ControlMetrics(double scale)
        : line(std::max(1, static_cast<int>(scale))),
          checkBox(Px(13, scale)),
          checkTextGap(Px(4, scale)),
          listButton(Px(17, scale)),
          textPadding(Px(3, scale)),
          groupTitleIndent(Px(8, scale)),
          groupTitlePadding(Px(2, scale)),
          scrollBar(Px(17, scale)) {}

    int line;               // width of frames and borders
    int checkBox;           // side of a check box's square
    int checkTextGap;       // between the square and the text
    int listButton;         // width of a list's drop-down button
    int textPadding;        // between a field's border and its text
    int groupTitleIndent;   // from a group box's left edge to its title
    int groupTitlePadding;  // cleared on either side of the title
    int scrollBar;          // width of a drop-down's scroll bar

private:
    static int Px(double atOne, double scale) { return static_cast<int>(std::lround(atOne * scale)); }
};

}  // namespace tolvar
