// What the drawn editor takes from the desktop: its scale, and a font that
// fits every text where the dialog template puts it.
#include <gtest/gtest.h>

#include "editor/control_metrics.h"
#include "editor/desktop_scale.h"
#include "editor/editor_font.h"
#include "tests/editor/font_caches.h"

namespace tolvar::test {
namespace {

class FontCachesAtExit : public ::testing::Environment {
    void TearDown() override { ReleaseFontCaches(); }
};
[[maybe_unused]] const auto* const kFontCaches = ::testing::AddGlobalTestEnvironment(new FontCachesAtExit);

TEST(DesktopScale, ComesFromXftDpiOrGdkScaleInQuarterSteps) {
    EXPECT_EQ(DesktopScale(nullptr, nullptr), 1.0);
    EXPECT_EQ(DesktopScale("Xft.antialias:\t1\nXft.dpi:\t144\nXft.hinting:\t1\n", nullptr), 1.5);
    EXPECT_EQ(DesktopScale("Xft.dpi: 192", nullptr), 2.0);
    EXPECT_EQ(DesktopScale("Xft.dpi:\t120\n", nullptr), 1.25);
    EXPECT_EQ(DesktopScale("Xft.dpi:\t110\n", nullptr), 1.25);
    EXPECT_EQ(DesktopScale(nullptr, "2"), 2.0);
    // A desktop that sets both counts the window scale in the dpi already.
    EXPECT_EQ(DesktopScale("Xft.dpi:\t192\n", "2"), 2.0);
    EXPECT_EQ(DesktopScale("Xft.dpi:\t96\n", "2"), 2.0);
    // Below 1, above 4, malformed, or another resource's dpi.
    EXPECT_EQ(DesktopScale("Xft.dpi:\t72\n", nullptr), 1.0);
    EXPECT_EQ(DesktopScale("Xft.dpi:\t1e9\n", "3"), 4.0);
    EXPECT_EQ(DesktopScale("Xft.dpi:\t144dpi\n", "two"), 1.0);
    EXPECT_EQ(DesktopScale("Xft.dpi:\tnan\n", "-2"), 1.0);
    EXPECT_EQ(DesktopScale("Xft.dpi:\n", ""), 1.0);
    EXPECT_EQ(DesktopScale("Gtk.Xft.dpi:\t192\n*dpi:\t192\n", nullptr), 1.0);
}

TEST(EditorFont, EveryTextFitsNearTheDialogFontsSizeAtEveryScale) {
    for (const double scale : {1.0, 1.5, 2.0}) {
        SCOPED_TRACE(scale);
        const ControlMetrics metrics(scale);
        const EditorFont font(scale, metrics);
        EXPECT_LE(font.WorstFit(scale, metrics), 1.0);
        // With the condensed face that the build installs, hinting's whole-pixel
        // advances cost at most a tenth of the dialog font's 11 pixels.
        EXPECT_LE(font.Size(), 11.0 * scale);
        EXPECT_GE(font.Size(), 0.9 * 11.0 * scale);
    }
}

}  // namespace
}  // namespace tolvar::test
