// The cairo canvas: one-line texts cut with an ellipsis, upright texts in either orientation,
// bitmap sizes, and files written or refused with a clear reason.
#include "platform/drawing/cairo/CairoBitmap.hpp"
#include "tests/unit/support/Raster.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <limits>
#include <sstream>

namespace ampwell::platform {
namespace {

constexpr double kScale = 2;
const TextStyle kBody{{FontRole::system, 13, FontWeight::regular}, Color::rgba(0, 0, 0)};

// The pixel box that holds every pixel with ink, in points; empty when there is none.
struct InkBox {
    bool any = false;
    double left = 1e9, top = 1e9, right = -1, bottom = -1;
};

InkBox inkBox(BitmapCanvas& bitmap, int fromX = 0, int toX = std::numeric_limits<int>::max()) {
    InkBox box;
    for (int y = 0; y < bitmap.pixelHeight(); ++y)
        for (int x = std::max(fromX, 0); x < std::min(toX, bitmap.pixelWidth()); ++x) {
            if (bitmap.pixel(x, y).alpha < 24) continue;
            box.any = true;
            box.left = std::min(box.left, x / kScale);
            box.right = std::max(box.right, (x + 1) / kScale);
            box.top = std::min(box.top, y / kScale);
            box.bottom = std::max(box.bottom, (y + 1) / kScale);
        }
    return box;
}

std::unique_ptr<BitmapCanvas> blank(double width = 400, double height = 80) {
    return makeBitmapCanvas({width, height}, kScale, Appearance::light);
}

TEST(CairoCanvas, ALongTextIsCutWithAnEllipsisAndNeverWraps) {
    const std::string text = "一台名字特别特别长的平板电脑 Very Long Device Name";
    auto whole = blank();
    whole->drawText(text, {10, 10, 380, 20}, kBody);
    ASSERT_GT(inkBox(*whole).right, 200) << "the sample must be wider than the cut";

    auto cut = blank();
    cut->drawText(text, {10, 10, 120, 20}, kBody);
    const InkBox box = inkBox(*cut);
    ASSERT_TRUE(box.any);
    EXPECT_LE(box.right, 130.5);
    EXPECT_GT(box.right, 115) << "the cut text fills its width";
    EXPECT_GE(box.top, 10);
    EXPECT_LE(box.bottom, 10 + 1.3 * 13) << "a second line would reach further down";
    // The last 0.6 em holds only the dots of the ellipsis: a flat band, not a letter.
    const InkBox tail = inkBox(*cut, static_cast<int>((box.right - 0.6 * 13) * kScale));
    EXPECT_LE(tail.bottom - tail.top, 0.25 * 13) << "tail ink from " << tail.top << " to " << tail.bottom;
}

TEST(CairoCanvas, LineBreaksInATextAreDrawnAsSpaces) {
    auto oneLine = blank();
    oneLine->drawText("第一行", {10, 10, 380, 20}, kBody);
    auto broken = blank();
    broken->drawText("第一行\n第二行", {10, 10, 380, 20}, kBody);
    const InkBox first = inkBox(*oneLine);
    const InkBox both = inkBox(*broken);
    EXPECT_GT(both.right, first.right + 2 * 13) << "the second part continues the line";
    EXPECT_LE(both.bottom, first.bottom + 0.5);
}

TEST(CairoCanvas, TextIsUprightAndAtTheSameTopInBothOrientations) {
    auto flipped = blank();
    flipped->drawText("Ampwell 输出", {10, 10, 200, 20}, kBody);
    auto unflipped = blank();
    unflipped->flipVertically(80);
    EXPECT_FALSE(unflipped->isFlipped());
    unflipped->drawText("Ampwell 输出", {10, 50, 200, 20}, kBody);  // the same rectangle, measured from the bottom
    const auto a = test::copyPixels(*flipped);
    const auto b = test::copyPixels(*unflipped);
    int differing = 0;
    for (std::size_t i = 0; i < a.pixels.size(); ++i) differing += a.pixels[i] == b.pixels[i] ? 0 : 1;
    EXPECT_EQ(differing, 0);
}

TEST(CairoCanvas, MonospacedDigitsHaveEqualWidths) {
    auto canvas = blank();
    const Font mono{FontRole::monospacedDigit, 30, FontWeight::medium};
    EXPECT_DOUBLE_EQ(canvas->measureText("11.1 W", mono).width, canvas->measureText("88.8 W", mono).width);
}

// However a weight is drawn, the ink is never stronger than the colour: a text in the label colour
// (black at 85 %) has no pixel darker than that.
TEST(CairoCanvas, EveryWeightKeepsTheColoursAlpha) {
    for (FontWeight weight : {FontWeight::regular, FontWeight::medium, FontWeight::semibold}) {
        auto canvas = blank();
        canvas->drawText("18.9 W 实时", {10, 10, 380, 40},
                         {{FontRole::monospacedDigit, 30, weight}, Color::role(ColorRole::label)});
        int strongest = 0;
        for (int y = 0; y < canvas->pixelHeight(); ++y)
            for (int x = 0; x < canvas->pixelWidth(); ++x)
                strongest = std::max(strongest, int{canvas->pixel(x, y).alpha});
        EXPECT_NEAR(strongest, 0.85 * 255, 2) << static_cast<int>(weight);
    }
}

TEST(BitmapCanvas, HasTheScaledSizeAndRefusesImpossibleSizes) {
    auto bitmap = makeBitmapCanvas({300, 98}, 2, Appearance::light);
    ASSERT_NE(bitmap, nullptr);
    EXPECT_EQ(bitmap->pixelWidth(), 600);
    EXPECT_EQ(bitmap->pixelHeight(), 196);
    EXPECT_EQ(bitmap->pixel(0, 0), Pixel{});
    EXPECT_EQ(bitmap->pixel(600, 0), Pixel{});
    EXPECT_EQ(makeBitmapCanvas({0, 10}, 2, Appearance::light), nullptr);
    EXPECT_EQ(makeBitmapCanvas({10, 10}, std::nan(""), Appearance::light), nullptr);
    EXPECT_EQ(makeBitmapCanvas({1e9, 10}, 2, Appearance::light), nullptr);
}

TEST(WriteFileReplacing, ReplacesTheWholeFileAndNamesPathAndReasonOnFailure) {
    const std::string path = ::testing::TempDir() + "ampwell-write-test.bin";
    writeFileReplacing(path, std::vector<std::uint8_t>(100, 'a'));
    writeFileReplacing(path, {'o', 'k'});
    std::ifstream in(path, std::ios::binary);
    std::stringstream content;
    content << in.rdbuf();
    EXPECT_EQ(content.str(), "ok");

    const std::string missing = ::testing::TempDir() + "no-such-folder/out.png";
    try {
        writeFileReplacing(missing, {'x'});
        FAIL() << "writing into a missing folder must fail";
    } catch (const FileWriteError& error) {
        EXPECT_EQ(std::string(error.what()), "cannot write " + missing + ": No such file or directory");
    }
}

}  // namespace
}  // namespace ampwell::platform
