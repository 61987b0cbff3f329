#include "ButtonHost.h"
#include "controls/button/CommandLayout.h"
#include "platform/Failure.h"
#include "platform/common/EdgePainter.h"
#include "platform/common/SymbolFonts.h"
#include "util/PropertyBag.h"

#include <QTest>
#include <gtest/gtest.h>

namespace {

// ---- Layout numbers ------------------------------------------------------------------------

struct LayoutCase {
    const char* what;
    qint32 SW, SH;
    qint16 Gab;
    qint32 PictureAlignment;
    std::optional<QSize> picture;
    qint32 off;
    CaptionRect expected;
    std::optional<QPoint> picturePos;
};

class ButtonLayoutTable : public testing::TestWithParam<LayoutCase> {};

TEST_P(ButtonLayoutTable, PlacesCaptionAndPicture) {
    const LayoutCase& c = GetParam();
    const ButtonLayout layout = LayoutButton(c.SW, c.SH, c.Gab, c.PictureAlignment, c.picture, c.off);
    EXPECT_EQ(layout.Caption, c.expected)
        << c.what << ": got " << layout.Caption.Left << ',' << layout.Caption.Top << ','
        << layout.Caption.Right << ',' << layout.Caption.Bottom;
    EXPECT_EQ(layout.PicturePos, c.picturePos) << c.what;
}

const QSize pic16(16, 16);

INSTANTIATE_TEST_SUITE_P(
    Cases, ButtonLayoutTable,
    testing::Values(
        LayoutCase{
            "small centred caption without picture", 24, 24, 5, 1, std::nullopt, 0, {5, 2, 19, 22}, {}},
        LayoutCase{"picture left", 100, 24, 5, 0, pic16, 0, {28, 2, 93, 22}, QPoint(7, 4)},
        LayoutCase{"picture right", 100, 24, 5, 1, pic16, 0, {7, 2, 72, 22}, QPoint(77, 4)},
        LayoutCase{
            "picture centred, caption right of it", 100, 24, 5, 2, pic16, 0, {65, 2, 93, 22}, QPoint(42, 4)},
        LayoutCase{
            "odd height rounds 4.5 down to even", 100, 25, 5, 0, pic16, 0, {28, 2, 93, 23}, QPoint(7, 4)},
        LayoutCase{"odd width rounds 42.5 to 42 and 65.5 to 66",
                   101,
                   24,
                   5,
                   2,
                   pic16,
                   0,
                   {66, 2, 94, 22},
                   QPoint(42, 4)},
        LayoutCase{
            "unknown picture alignment keeps the full width", 100, 24, 5, 7, pic16, 0, {0, 2, 100, 22}, {}},
        LayoutCase{"unknown alignment while pressed loses the last column",
                   100,
                   24,
                   5,
                   7,
                   pic16,
                   1,
                   {0, 2, 99, 22},
                   {}},
        LayoutCase{
            "negative margin moves the caption outward", 24, 24, -3, 1, std::nullopt, 0, {-3, 2, 27, 22}, {}},
        LayoutCase{"margin whose sum with 2 overflows places nothing",
                   100,
                   24,
                   32767,
                   0,
                   pic16,
                   0,
                   {0, 2, 100, 22},
                   {}},
        LayoutCase{"margin whose double overflows still places the picture",
                   100,
                   24,
                   20000,
                   0,
                   pic16,
                   0,
                   {0, 2, 100, 22},
                   QPoint(20002, 4)}));

// ---- Pixels --------------------------------------------------------------------------------

class ButtonPixels : public testing::Test {
protected:
    ButtonHost host;
    Command* button = host.add(60, 20, 40, 30);

    void pressWithSpace() { QTest::keyPress(button, Qt::Key_Space); }
};

struct EdgeCase {
    const char* what;
    bool pressed;
    qint32 ClickEffect;
    bool Bevel;
    QRgb outerTopLeft, innerTopLeft, outerBottomRight, innerBottomRight, outerTopRight;
};

class ButtonEdges : public ButtonPixels, public testing::WithParamInterface<EdgeCase> {};

TEST_P(ButtonEdges, CornersShowTheClassicShades) {
    const EdgeCase& c = GetParam();
    button->setCaption(QString());
    button->setClickEffect(c.ClickEffect);
    button->setBevel(c.Bevel);
    if (c.pressed)
        pressWithSpace();
    const QImage image = Shot(*button);
    const int r = image.width() - 1;
    const int b = image.height() - 1;
    EXPECT_EQ(image.pixel(0, 0), c.outerTopLeft) << c.what;
    EXPECT_EQ(image.pixel(1, 1), c.innerTopLeft) << c.what;
    EXPECT_EQ(image.pixel(r, b), c.outerBottomRight) << c.what;
    EXPECT_EQ(image.pixel(r - 1, b - 1), c.innerBottomRight) << c.what;
    EXPECT_EQ(image.pixel(r, 0), c.outerTopRight) << c.what;
    EXPECT_EQ(image.pixel(0, b), c.outerTopRight) << c.what << " (bottom-left corner)";
}

using H = ButtonHost;
INSTANTIATE_TEST_SUITE_P(States, ButtonEdges,
                         testing::Values(EdgeCase{"raised at rest", false, 0, true, H::Light, H::Highlight,
                                                  H::DarkShadow, H::Shadow, H::DarkShadow},
                                         EdgeCase{"sunken while pressed", true, 0, true, H::Shadow,
                                                  H::DarkShadow, H::Highlight, H::Light, H::Highlight},
                                         EdgeCase{"bump while pressed with another click effect", true, 3,
                                                  true, H::Light, H::DarkShadow, H::DarkShadow, H::Light,
                                                  H::DarkShadow},
                                         EdgeCase{"no edge without bevel", false, 0, false, H::Face, H::Face,
                                                  H::Face, H::Face, H::Face},
                                         EdgeCase{"no edge without bevel, pressed", true, 0, false, H::Face,
                                                  H::Face, H::Face, H::Face, H::Face}));

TEST_F(ButtonPixels, PressedImageMovesOnePixelRightAndDownOnlyWithABevel) {
    button->setCaption(QString());
    button->setPicture(SolidPicture(4, 4, 0xFF00FF00));
    for (bool bevel : {true, false}) {
        button->setBevel(bevel);
        // Picture at the left: x = Gab + 2 = 7, y = 15 - 2 = 13.
        EXPECT_EQ(InkBox(Shot(*button), 0xFF00FF00), QRect(7, 13, 4, 4)) << "at rest, bevel " << bevel;
        pressWithSpace();
        EXPECT_EQ(InkBox(Shot(*button), 0xFF00FF00), bevel ? QRect(8, 14, 4, 4) : QRect(7, 13, 4, 4))
            << "pressed, bevel " << bevel;
        QTest::keyRelease(button, Qt::Key_Space);
    }
}

TEST_F(ButtonPixels, LoadingASizedButtonShowsTheLoadedLookAtOnce) {
    button->setCaption(QString());
    button->ReadProperties(
        PropertyBag{{QStringLiteral("caption"), QStringLiteral("HH")}, {QStringLiteral("bevel"), false}});
    const QImage image = Shot(*button);
    EXPECT_GT(CountColor(image, H::Text), 0);
    EXPECT_EQ(image.pixel(0, 0), H::Face);
}

TEST_F(ButtonPixels, UnknownButtonTypeDrawsNoPictureAndCentresTheCaptionInTheMargins) {
    button->setGeometry(0, 0, 100, 30);
    button->setPicture(SolidPicture(4, 4, 0xFF00FF00));
    button->setCaption(QStringLiteral("H"));
    button->setButtonType(7);
    const QImage image = Shot(*button);
    EXPECT_EQ(CountColor(image, 0xFF00FF00), 0);
    const QRect ink = InkBox(image, H::Text);
    ASSERT_FALSE(ink.isEmpty());
    // Centred in 5..95: the ink's centre lies in the middle, not pushed right by a picture.
    EXPECT_NEAR(ink.center().x(), 50, 3);
}

struct CaptionCase {
    const char* what;
    qint32 TextAlignment;
    // Where the ink of "H" must sit in a 100 x 60 button with margin 5.
    std::function<bool(const QRect&)> placed;
};

class ButtonCaptionPlacement : public ButtonPixels, public testing::WithParamInterface<CaptionCase> {};

TEST_P(ButtonCaptionPlacement, FollowsTextAlignment) {
    const CaptionCase& c = GetParam();
    button->setGeometry(0, 0, 100, 60);
    button->setCaption(QStringLiteral("H"));
    button->setTextAlignment(c.TextAlignment);
    const QRect ink = InkBox(Shot(*button), H::Text);
    ASSERT_FALSE(ink.isEmpty()) << c.what;
    EXPECT_TRUE(c.placed(ink)) << c.what << ": ink at " << ink.x() << ',' << ink.y() << ' ' << ink.width()
                               << 'x' << ink.height();
}

INSTANTIATE_TEST_SUITE_P(
    Alignments, ButtonCaptionPlacement,
    testing::Values(
        CaptionCase{"left", 0,
                    [](const QRect& r) { return r.left() <= 8 && std::abs(r.center().y() - 30) <= 3; }},
        CaptionCase{"centred", 1,
                    [](const QRect& r) {
                        return std::abs(r.center().x() - 50) <= 3 && std::abs(r.center().y() - 30) <= 3;
                    }},
        CaptionCase{"right", 2,
                    [](const QRect& r) { return r.right() >= 90 && std::abs(r.center().y() - 30) <= 3; }},
        CaptionCase{"anything else: top-left, not centred vertically", 5,
                    [](const QRect& r) { return r.left() <= 8 && r.top() <= 8; }}));

TEST_F(ButtonPixels, DisabledCaptionIsEmbossedUnlessTheEnabledStateIsNotShown) {
    button->setGeometry(0, 0, 100, 40);
    QFont big = button->Font();
    big.setPointSize(16);
    big.setBold(true);
    button->setFont(big);
    button->setCaption(QStringLiteral("HH"));

    auto look = [&] {
        const QImage image = Shot(*button);
        return std::tuple(CountColor(image, H::Text) > 0, CountColor(image, 0xFFFFFFFF) > 0,
                          CountColor(image, H::GrayText) > 0);
    };
    EXPECT_EQ(look(), std::tuple(true, false, false)) << "enabled";
    button->setEnabled(false);
    EXPECT_EQ(look(), std::tuple(false, true, true)) << "disabled";
    // The white shadow lies one pixel right and down of the grey text.
    const QImage image = Shot(*button);
    EXPECT_EQ(InkBox(image, 0xFFFFFFFF).bottomRight(),
              InkBox(image, H::GrayText).bottomRight() + QPoint(1, 1));
    button->setVisEnabledState(false);
    EXPECT_EQ(look(), std::tuple(true, false, false)) << "disabled, not shown";
    button->setVisEnabledState(true);
    button->setEnabled(true);
    button->setDrawAsDisabled(true);
    EXPECT_EQ(look(), std::tuple(false, true, true)) << "drawn as disabled";
}

TEST_F(ButtonPixels, FocusRectangleAppearsOnlyWhileTheButtonHasTheFocus) {
    button->setCaption(QString());
    const QRgb inverted = H::Face ^ 0x00FFFFFFu;
    host.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&host));
    button->clearFocus();
    EXPECT_EQ(Pixel(*button, 4, 4), H::Face) << "without focus";
    button->setFocus();
    ASSERT_TRUE(button->hasFocus());
    EXPECT_EQ(Pixel(*button, 4, 4), inverted) << "focused";
    EXPECT_EQ(Pixel(*button, 5, 4), H::Face) << "the outline is dotted";
    EXPECT_EQ(Pixel(*button, 40 - 5, 30 - 5), inverted) << "bottom-right corner, 4 pixels inside";
    button->setFocusRect(false);
    EXPECT_EQ(Pixel(*button, 4, 4), inverted) << "the setting waits for the next redraw";
    button->ReDraw();
    EXPECT_EQ(Pixel(*button, 4, 4), H::Face) << "focused, focus rectangle off";
    button->setFocusRect(true);
    button->clearFocus();
    EXPECT_EQ(Pixel(*button, 4, 4), H::Face) << "focus gone";
}

TEST_F(ButtonPixels, SelectionMarkerSitsTwoPixelsInside) {
    button->setCaption(QString());
    EXPECT_EQ(CountColor(Shot(*button), H::Marker), 0);
    button->setSelected(true);
    const QImage image = Shot(*button);
    EXPECT_EQ(InkBox(image, H::Marker), QRect(2, 2, 36, 26));
    EXPECT_EQ(image.pixel(10, 10), H::Face) << "an outline, not a filled box";
    button->setSelected(false);
    EXPECT_EQ(CountColor(Shot(*button), H::Marker), 0);
}

struct GlyphCase {
    qint32 ButtonType;
    int height;
    QRgb ink;
    int expectedSize;
};

class ButtonGlyphs : public ButtonPixels, public testing::WithParamInterface<GlyphCase> {};

TEST_P(ButtonGlyphs, SizeSwitchesAt36PixelsAndTheBackgroundStaysTransparent) {
    const GlyphCase& c = GetParam();
    button->setGeometry(0, 0, 100, c.height);
    button->setCaption(QString());
    button->setBackColor(platform::colorCode(QColor(Qt::yellow)));
    button->setButtonType(c.ButtonType);
    const QImage image = Shot(*button);
    const QRect ink = InkBox(image, c.ink);
    EXPECT_GT(ink.width(), c.expectedSize - 6);
    EXPECT_LE(ink.width(), c.expectedSize);
    EXPECT_LE(ink.height(), c.expectedSize);
    EXPECT_EQ(CountColor(image, H::Face), 0) << "the glyph's background is left out";
}

INSTANTIATE_TEST_SUITE_P(Sizes, ButtonGlyphs,
                         testing::Values(GlyphCase{1, 35, 0xFFFF0000, 16}, GlyphCase{1, 36, 0xFFFF0000, 32},
                                         GlyphCase{2, 35, 0xFF00FF00, 16}, GlyphCase{2, 36, 0xFF00FF00, 32}));

TEST_F(ButtonPixels, SeeThroughCopiesTheParentBackgroundAndPicturePixelsOfTheBackColorDropOut) {
    // The button spans the parent's red and blue halves (x 30..70 of the parent).
    button->setGeometry(30, 10, 40, 30);
    button->setCaption(QString());
    QImage picture(4, 4, QImage::Format_RGB32);
    picture.fill(0xFF00FF00);
    picture.setPixel(0, 0, 0xFF123456);
    button->setBackColor(0x00563412); // the same colour as the one pixel
    button->setPicture(QPixmap::fromImage(picture));
    button->setButtonType(3);
    const QImage image = Shot(*button);
    EXPECT_EQ(image.pixel(10, 5), H::LeftHalf);
    EXPECT_EQ(image.pixel(30, 5), H::RightHalf);
    EXPECT_EQ(image.pixel(7, 13), H::LeftHalf) << "the picture's back-coloured pixel is transparent";
    EXPECT_EQ(image.pixel(8, 13), 0xFF00FF00);
}

TEST_F(ButtonPixels, SeeThroughWithoutParentKeepsThePlainBackground) {
    Command orphan;
    orphan.resize(30, 20);
    orphan.setCaption(QString());
    orphan.setBackColor(0x0000FFFF); // yellow
    orphan.setButtonType(3);
    EXPECT_EQ(Shot(orphan).pixel(10, 10), 0xFFFFFF00);
}

TEST_F(ButtonPixels, NestedRedrawsStopAtTwoLevelsAndTheNextRedrawDrawsAgain) {
    button->setButtonType(3);
    // A parent that asks the button to redraw whenever it paints: every redraw of the
    // see-through button paints the parent again.
    host.onPaint = [&] { button->ReDraw(); };
    host.backgroundDraws = 0;
    button->ReDraw();
    EXPECT_EQ(host.backgroundDraws, 2) << "the outer redraw and one nested one; the third returns at once";
    host.backgroundDraws = 0;
    button->ReDraw();
    EXPECT_EQ(host.backgroundDraws, 2);
    host.onPaint = nullptr;
}

// ---- Symbol captions without their font ----------------------------------------------------

// Ink rows per column of the caption's ink: a right-pointing triangle narrows from left to
// right, a square keeps its height.
std::vector<int> ColumnHeights(const QImage& image, QRgb ink) {
    const QRect box = InkBox(image, ink);
    std::vector<int> heights;
    for (int x = box.left(); x <= box.right(); ++x) {
        int count = 0;
        for (int y = box.top(); y <= box.bottom(); ++y)
            count += image.pixel(x, y) == ink;
        heights.push_back(count);
    }
    return heights;
}

TEST(ButtonSymbolCaptions, PlayAndStopStillLookLikeATriangleAndASquare) {
    if (platform::isFontInstalled(QStringLiteral("Webdings")))
        GTEST_SKIP() << "Webdings is installed; its own shapes are drawn";
    ButtonHost host;
    auto* play = Command::createPlaySoundButton(&host);
    auto* stop = Command::createStopSoundButton(&host);
    play->move(10, 10);
    stop->move(40, 10);
    for (Command* b : {play, stop}) {
        QFont crisp = b->Font();
        crisp.setStyleStrategy(QFont::NoAntialias);
        b->setFont(crisp);
    }
    host.show();
    const std::vector<int> triangle = ColumnHeights(Shot(*play), H::Text);
    ASSERT_GE(triangle.size(), 5u);
    EXPECT_GT(triangle.front(), triangle.back() + 3) << "widest at the left, pointing right";
    for (std::size_t i = 1; i < triangle.size(); ++i)
        EXPECT_LE(triangle[i], triangle[i - 1] + 1) << "column " << i;

    const QImage stopImage = Shot(*stop);
    const QRect square = InkBox(stopImage, H::Text);
    ASSERT_GE(square.width(), 4);
    EXPECT_LE(std::abs(square.width() - square.height()), 1);
    EXPECT_EQ(CountColor(stopImage.copy(square), H::Text), square.width() * square.height()) << "filled";
}

// ---- The edge painter's softer look --------------------------------------------------------

TEST(EdgePainter, SoftRaisedEdgeTakesTheBrighterShadeOutsideAndLightInside) {
    ButtonHost host;
    QImage image(10, 10, QImage::Format_RGB32);
    image.fill(Qt::black);
    platform::drawEdge(image, image.rect(), platform::EdgeRaised, platform::SidesAll | platform::EdgeSoft,
                       host.palette());
    EXPECT_EQ(image.pixel(0, 0), H::Highlight);
    EXPECT_EQ(image.pixel(1, 1), H::Light);
    EXPECT_EQ(image.pixel(9, 9), H::DarkShadow);
    EXPECT_EQ(image.pixel(8, 8), H::Shadow);
    EXPECT_EQ(image.pixel(5, 5), 0xFF000000u) << "the inside is untouched";
}

} // namespace
