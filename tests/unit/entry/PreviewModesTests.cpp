// "--preview-menu" and "--preview-icons" run as the real program: image sizes, the menu against
// its golden picture, the icons' colours, and the one-line report of a file that cannot be written.
#include "app/ui/PowerMenuUI.hpp"
#include "platform/drawing/cairo/CairoBitmap.hpp"
#include "tests/unit/support/GoldenImage.hpp"
#include "tests/unit/support/Raster.hpp"
#include "tests/unit/support/RunProgram.hpp"
#include "tests/unit/support/TextRectRecorder.hpp"

#include <gtest/gtest.h>

#include <fstream>

namespace ampwell {
namespace {

using platform::ColorRole;

// The previews need no backend: a simulation file that cannot be read must not stop them.
constexpr const char* kNoSimulation = "tests/no-such-simulation.json";
constexpr const char* kGolden = AMPWELL_SOURCE_DIR "/tests/scenarios/preview/preview-menu.golden.png";

std::string outputPath(const std::string& name) {
    return ::testing::TempDir() + "ampwell-" + name;
}

// Whether the PNG at `path` stores an alpha channel (colour type 6 in its header).
bool pngHasAlpha(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    char header[26] = {};
    in.read(header, sizeof header);
    return in && header[25] == 6;
}

// The rectangles the preview's texts are drawn in, from drawing it in this process.
std::vector<platform::Rect> previewTextRects() {
    auto bitmap =
        platform::makeBitmapCanvas(kPowerMenuPreviewSize, kPowerMenuPreviewScale, platform::Appearance::light);
    test::TextRectRecorder recorder(*bitmap, kPowerMenuPreviewScale);
    drawPowerMenuPreview(recorder);
    return recorder.textRects();
}

TEST(PreviewMenuMode, WritesTheGoldenPictureAt1552By1190) {
    const std::string path = outputPath("preview-menu.png");
    const auto run = test::runProgram({"--preview-menu", path}, kNoSimulation);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, "");
    const auto current = test::loadPng(path);
    ASSERT_TRUE(current.has_value());
    EXPECT_EQ(current->width, 1552);
    EXPECT_EQ(current->height, 1190);
    EXPECT_TRUE(pngHasAlpha(path));
    const auto golden = test::loadPng(kGolden);
    ASSERT_TRUE(golden.has_value()) << kGolden;
    const auto problems = test::compareWithGolden(*current, *golden, previewTextRects());
    EXPECT_TRUE(problems.empty()) << ::testing::PrintToString(problems);
}

// The comparison must let another font version through but not a shape that moved.
TEST(PreviewMenuMode, GoldenComparisonToleratesGlyphChangesButNotMovedShapes) {
    const auto golden = test::loadPng(kGolden);
    ASSERT_TRUE(golden.has_value());

    auto bitmap =
        platform::makeBitmapCanvas(kPowerMenuPreviewSize, kPowerMenuPreviewScale, platform::Appearance::light);
    test::TextRectRecorder otherFont(*bitmap, kPowerMenuPreviewScale);
    otherFont.textNudge = {0.6, 0.5};
    otherFont.textSizeFactor = 1.05;
    drawPowerMenuPreview(otherFont);
    EXPECT_TRUE(test::compareWithGolden(test::copyPixels(*bitmap), *golden, otherFont.textRects()).empty());

    // The light panel's state dot, (20, 106) in the overview, one point lower.
    test::Raster moved = *golden;
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) {
            const int px = 2 * (16 + 20) - 2 + x;
            const int py = 2 * (14 + 106) - 2 + y;
            moved.pixels[static_cast<std::size_t>(py + 2) * moved.width + px] = golden->at(px, py);
        }
    EXPECT_FALSE(test::compareWithGolden(moved, *golden, otherFont.textRects()).empty());
}

TEST(PreviewIconsMode, DrawsTheThreeIconsInTheirColoursOnWhiteAt600By196) {
    const std::string path = outputPath("preview-icons.png");
    const auto run = test::runProgram({"--preview-icons", path}, kNoSimulation);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, "");
    const auto icons = test::loadPng(path);
    ASSERT_TRUE(icons.has_value());
    EXPECT_EQ(icons->width, 600);
    EXPECT_EQ(icons->height, 196);
    EXPECT_TRUE(test::pixelNear(icons->at(0, 0), {1, 1, 1, 1}));
    const ColorRole roles[] = {ColorRole::green, ColorRole::yellow, ColorRole::grey};
    for (int i = 0; i < 3; ++i) {
        // The tablet's left edge, halfway up: icon x 1.25 of 14, enlarged 2.5 times from x = 100·i + 32.5.
        const auto expected = platform::resolveColorRole(roles[i], platform::Appearance::light);
        EXPECT_TRUE(test::pixelNear(icons->at(71 + 200 * i, 82), expected)) << "icon " << i;
        // The caption: dark grey ink under the icon, centred on it.
        int inkLeft = 600, inkRight = -1;
        for (int y = 150; y < 196; ++y)
            for (int x = 200 * i; x < 200 * i + 200; ++x)
                if (icons->at(x, y).red < 128) {
                    inkLeft = std::min(inkLeft, x);
                    inkRight = std::max(inkRight, x);
                }
        ASSERT_GE(inkRight, 0) << "caption " << i;
        EXPECT_NEAR((inkLeft + inkRight) / 2.0, 200 * i + 100, 4) << "caption " << i;
    }
}

TEST(PreviewModes, AFileThatCannotBeWrittenFailsWithOneLineNamingPathAndReason) {
    const std::string missingFolder = ::testing::TempDir() + "no-such-folder/out.png";
    for (const char* option : {"--preview-menu", "--preview-icons"}) {
        const auto run = test::runProgram({option, missingFolder}, kNoSimulation);
        EXPECT_NE(run.status, 0) << option;
        EXPECT_EQ(run.out, "") << option;
        EXPECT_EQ(run.err, "ampwell: cannot write " + missingFolder + ": No such file or directory\n") << option;
    }
    const auto directory = test::runProgram({"--preview-menu", ::testing::TempDir()}, kNoSimulation);
    EXPECT_NE(directory.status, 0);
    EXPECT_NE(directory.err.find("Is a directory"), std::string::npos) << directory.err;
}

}  // namespace
}  // namespace ampwell
