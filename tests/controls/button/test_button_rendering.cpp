#include "ButtonHost.h"
#include "controls/button/CommandLayout.h"
#include "platform/common/SymbolFonts.h"
#include "platform/common/SystemColors.h"
#include "util/PropertyBag.h"

#include <QTest>
#include <gtest/gtest.h>

namespace {

using H = ButtonHost;
constexpr QRgb Green = 0xFF00FF00;

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
    const CaptionRect& r = layout.Caption;
    EXPECT_EQ(r, c.expected) << c.what << ": got " << r.Left << ',' << r.Top << ',' << r.Right << ','
                             << r.Bottom;
    EXPECT_EQ(layout.PicturePos, c.picturePos) << c.what;
}

const QSize pic16(16, 16);
// clang-format off
INSTANTIATE_TEST_SUITE_P(Cases, ButtonLayoutTable, testing::Values(
    LayoutCase{"small centred caption, no picture", 24, 24, 5, 1, {}, 0, {5, 2, 19, 22}, {}},
    LayoutCase{"picture left", 100, 24, 5, 0, pic16, 0, {28, 2, 93, 22}, QPoint(7, 4)},
    LayoutCase{"picture right", 100, 24, 5, 1, pic16, 0, {7, 2, 72, 22}, QPoint(77, 4)},
    LayoutCase{"picture centred, caption right of it", 100, 24, 5, 2, pic16, 0, {65, 2, 93, 22}, QPoint(42, 4)},
    LayoutCase{"odd height rounds 4.5 down to even", 100, 25, 5, 0, pic16, 0, {28, 2, 93, 23}, QPoint(7, 4)},
    LayoutCase{"odd width rounds 42.5 to 42 and 65.5 to 66", 101, 24, 5, 2, pic16, 0, {66, 2, 94, 22}, QPoint(42, 4)},
    LayoutCase{"unknown picture alignment keeps the full width", 100, 24, 5, 7, pic16, 0, {0, 2, 100, 22}, {}},
    LayoutCase{"unknown alignment while pressed loses the last column", 100, 24, 5, 7, pic16, 1, {0, 2, 99, 22}, {}},
    LayoutCase{"negative margin moves the caption outward", 24, 24, -3, 1, {}, 0, {-3, 2, 27, 22}, {}},
    LayoutCase{"margin whose sum with 2 overflows places nothing", 100, 24, 32767, 0, pic16, 0, {0, 2, 100, 22}, {}},
    LayoutCase{"margin whose double overflows still places the picture", 100, 24, 20000, 0, pic16, 0, {0, 2, 100, 22}, QPoint(20002, 4)}));
// clang-format on

using ButtonPixels = ButtonTest;

// A 4 x 4 picture at the left: at rest its corner is at x = Gab + 2 = 7, y = 15 - 2 = 13.
struct EdgeCase {
    const char* what;
    bool pressed;
    qint32 ClickEffect;
    bool Bevel;
    QRgb outerTopLeft, innerTopLeft, outerBottomRight, innerBottomRight, otherCorners;
    QPoint picture;
};

class ButtonEdges : public ButtonPixels, public testing::WithParamInterface<EdgeCase> {};

TEST_P(ButtonEdges, CornersShowTheClassicShadesAndTheImageSinksOnlyWithABevel) {
    const EdgeCase& c = GetParam();
    button->setPicture(solidPicture(Green, {4, 4}));
    button->setClickEffect(c.ClickEffect);
    button->setBevel(c.Bevel);
    if (c.pressed)
        QTest::keyPress(button, Qt::Key_Space);
    const QImage image = Shot(*button);
    const int r = image.width() - 1, b = image.height() - 1;
    const std::array<QRgb, 6> got{image.pixel(0, 0),         image.pixel(1, 1), image.pixel(r, b),
                                  image.pixel(r - 1, b - 1), image.pixel(r, 0), image.pixel(0, b)};
    EXPECT_EQ(got, (std::array<QRgb, 6>{c.outerTopLeft, c.innerTopLeft, c.outerBottomRight,
                                        c.innerBottomRight, c.otherCorners, c.otherCorners}))
        << c.what;
    EXPECT_EQ(InkBox(image, Green), QRect(c.picture, QSize(4, 4))) << c.what;
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(States, ButtonEdges, testing::Values(
    EdgeCase{"raised at rest", false, 0, true, H::Light, H::Highlight, H::DarkShadow, H::Shadow, H::DarkShadow, {7, 13}},
    EdgeCase{"sunken while pressed", true, 0, true, H::Shadow, H::DarkShadow, H::Highlight, H::Light, H::Highlight, {8, 14}},
    EdgeCase{"bump while pressed with another click effect", true, 3, true, H::Light, H::DarkShadow, H::DarkShadow, H::Light, H::DarkShadow, {8, 14}},
    EdgeCase{"no edge without bevel", false, 0, false, H::Face, H::Face, H::Face, H::Face, H::Face, {7, 13}},
    EdgeCase{"no edge without bevel, pressed", true, 0, false, H::Face, H::Face, H::Face, H::Face, H::Face, {7, 13}}));
// clang-format on

TEST_F(ButtonPixels, ALoadedCaptionShowsAtOnceAndIsEmbossedWhenDisabledUnlessThatIsNotShown) {
    button->setGeometry(0, 0, 100, 40);
    QFont big = button->Font();
    big.setPointSize(16);
    big.setBold(true);
    // Loaded into a button already sized and shown: the loaded look must show at once.
    button->ReadProperties(PropertyBag{{q("caption"), q("HH")}, {q("font"), big}, {q("bevel"), false}});
    EXPECT_EQ(Shot(*button).pixel(0, 0), H::Face) << "no bevel";
    // Whether the image shows normal text, a white shadow, grey text.
    auto look = [&] {
        const QImage image = Shot(*button);
        return std::tuple(!InkBox(image, H::Text).isEmpty(), !InkBox(image, 0xFFFFFFFF).isEmpty(),
                          !InkBox(image, H::GrayText).isEmpty());
    };
    const auto normal = std::tuple(true, false, false), embossed = std::tuple(false, true, true);
    EXPECT_EQ(look(), normal);
    button->setEnabled(false);
    EXPECT_EQ(look(), embossed);
    const QImage image = Shot(*button);
    EXPECT_EQ(InkBox(image, 0xFFFFFFFF).bottomRight(),
              InkBox(image, H::GrayText).bottomRight() + QPoint(1, 1))
        << "the white shadow lies one pixel right and down";
    button->setVisEnabledState(false);
    EXPECT_EQ(look(), normal) << "disabled, not shown";
    button->setVisEnabledState(true);
    button->setEnabled(true);
    button->setDrawAsDisabled(true);
    EXPECT_EQ(look(), embossed) << "drawn as disabled";
}

TEST(SoundButtons, PlayAndStopLookLikeATriangleAndASquareWithoutTheirFont) {
    ButtonHost host;
    Command* play = Command::createPlaySoundButton(&host);
    Command* stop = Command::createStopSoundButton(&host);
    if (platform::isFontInstalled(q("Webdings")))
        GTEST_SKIP() << "Webdings is installed; its own shapes are drawn";
    for (Command* b : {play, stop}) {
        QFont crisp = b->Font();
        crisp.setStyleStrategy(QFont::NoAntialias);
        b->setFont(crisp);
    }
    host.show();
    // The ink's height per column: a right-pointing triangle narrows from left to right.
    const QImage triangle = Shot(*play);
    const QRect box = InkBox(triangle, H::Text);
    ASSERT_GE(box.width(), 5);
    std::vector<int> heights;
    for (int x = box.left(); x <= box.right(); ++x)
        heights.push_back(InkBox(triangle.copy(x, 0, 1, triangle.height()), H::Text).height());
    EXPECT_GT(heights.front(), heights.back() + 3);
    for (std::size_t i = 1; i < heights.size(); ++i)
        EXPECT_LE(heights[i], heights[i - 1] + 1) << "column " << i;
    const QImage square = Shot(*stop);
    const QRect filled = InkBox(square, H::Text);
    ASSERT_GE(filled.width(), 4);
    EXPECT_LE(std::abs(filled.width() - filled.height()), 1);
    QImage solid(filled.size(), square.format());
    solid.fill(H::Text);
    EXPECT_EQ(square.copy(filled), solid) << "filled";
}

// A new button takes its name as caption, its host's font and a 50 ms period; a loaded one the
// defaults of whatever the bag lacks and a 10 ms period. Only values off their default are saved.
TEST(ButtonDefaults, NewAndLoadedButtonsSaveOnlyWhatDiffersFromTheDefaults) {
    ButtonHost host;
    const QFont hostFont(q("DejaVu Serif"), 13);
    host.setFont(hostFont);
    Command button(&host);
    button.setObjectName(q("cmdOk"));
    button.InitProperties();
    EXPECT_EQ(std::tuple(button.Caption(), button.Font(), button.AutoUpdTspInterval()),
              std::tuple(q("cmdOk"), hostFont, 50));
    PropertyBag saved;
    button.WriteProperties(saved);
    EXPECT_EQ(saved.keys(), (QStringList{q("autoupdtspinterval"), q("caption")}));
    button.setButtonType(2);
    button.ReadProperties(PropertyBag{});
    EXPECT_EQ(std::tuple(button.Caption(), button.ButtonType(), button.BackColor(), button.ForeColor(),
                         button.Font(), button.AutoUpdTspInterval()),
              std::tuple(QString(), 0, 0x8000000Fu, 0x80000012u, host.font(), 10));
    button.WriteProperties(saved);
    EXPECT_EQ(saved.size(), 0) << "values back at their defaults remove the entries";
    // Keys match without case; colours may come as QColor.
    button.ReadProperties(PropertyBag{{q("CAPTION"), q("x")}, {q("BackColor"), QColor(0x12, 0x34, 0x56)}});
    EXPECT_EQ(button.Caption(), q("x"));
    EXPECT_EQ(button.BackColor(), 0x00563412u);
    button.setMouseIcon(solidPicture(0xFF000000));
    button.setMousePointer(99);
    EXPECT_EQ(button.cursor().pixmap().size(), QSize(16, 16)) << "the custom pointer uses the icon";
}

} // namespace
