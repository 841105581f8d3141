// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/window_placement.h"

#include <gtest/gtest.h>

#include <string>

#include "settings/app_title.h"

namespace {

using settings::ApplyWindowPosText;
using settings::CenterOnScreen;
using settings::CenterOverMainWindow;
using settings::GetWindowPosText;
using settings::kPositionLimitTwips;
using settings::ParsePositionNumber;
using settings::ScreenArea;

// A window that records what placement did to it.
class FakeWindow : public settings::PlacedWindow {
  public:
    FakeWindow(int32_t left, int32_t top, int32_t width, int32_t height)
        : m_left(left), m_top(top), m_width(width), m_height(height) {}
    int32_t left() const override { return m_left; }
    int32_t top() const override { return m_top; }
    int32_t width() const override { return m_width; }
    int32_t height() const override { return m_height; }
    void setLeft(int32_t twips) override {
        m_left = twips;
        m_order += "L";
    }
    void setTop(int32_t twips) override {
        m_top = twips;
        m_order += "T";
    }
    void setCaption(const std::string& caption) override { m_caption = caption; }
    const std::string& caption() const { return m_caption; }
    const std::string& order() const { return m_order; }

  private:
    int32_t m_left, m_top, m_width, m_height;
    std::string m_caption = "untitled";
    std::string m_order;
};

// 1024 x 768 pixels at 15 twips per pixel.
constexpr ScreenArea kScreen{0, 0, 15360, 11520};

TEST(WindowPosText, TopComesFirstInShortestDecimal) {
    EXPECT_EQ(GetWindowPosText(FakeWindow(2970, 1485, 9000, 6000)), "1485,2970");
    EXPECT_EQ(GetWindowPosText(FakeWindow(1200, -60, 9000, 6000)), "-60,1200");

    FakeWindow window(0, 0, 9000, 6000);
    ApplyWindowPosText(window, GetWindowPosText(FakeWindow(2970, 1485, 9000, 6000)), kScreen);
    EXPECT_EQ(window.top(), 1485);
    EXPECT_EQ(window.left(), 2970);
    EXPECT_EQ(window.order(), "TL");
}

TEST(WindowPosText, StoredTextsOfEveryShape) {
    struct Case {
        const char* text;
        int32_t top, left;
    };
    const Case cases[] = {{"100,", 100, 0},      {",", 0, 0},     {"-120,300", -120, 300},
                          {" 12 , 34 ", 12, 34}, {"x,y", 0, 0},   {"1,2,3", 1, 2},
                          {"7.5,8.5", 8, 8},     {"+5,-0", 5, 0}, {"1 2,3abc", 12, 3}};
    for (const Case& c : cases) {
        FakeWindow window(555, 444, 9000, 6000);
        ApplyWindowPosText(window, c.text, kScreen, 1);
        EXPECT_EQ(window.top(), c.top) << c.text;
        EXPECT_EQ(window.left(), c.left) << c.text;
        EXPECT_EQ(window.caption(), "Trelvane") << c.text;
    }
}

TEST(WindowPosText, WithoutACommaNothingHappens) {
    FakeWindow window(555, 444, 9000, 6000);
    ApplyWindowPosText(window, "abc", kScreen, 1);
    ApplyWindowPosText(window, "", kScreen, 1);
    EXPECT_EQ(window.left(), 555);
    EXPECT_EQ(window.top(), 444);
    EXPECT_EQ(window.caption(), "untitled");
    EXPECT_EQ(window.order(), "");
}

TEST(WindowPosText, HugeOrOffScreenPositionsCentreTheWindow) {
    FakeWindow window(0, 0, 9000, 6000);
    ApplyWindowPosText(window, "99999999999,0", kScreen);
    EXPECT_EQ(window.top(), (11520 - 6000) / 2);
    EXPECT_EQ(window.left(), (15360 - 9000) / 2);

    FakeWindow above(0, 0, 9000, 6000);
    ApplyWindowPosText(above, "-6000,100", kScreen);  // its bottom edge just at the screen's top
    EXPECT_EQ(above.top(), 2760);

    FakeWindow partly(0, 0, 9000, 6000);
    ApplyWindowPosText(partly, "-5999,-8999", kScreen);  // one twip still shows
    EXPECT_EQ(partly.top(), -5999);
    EXPECT_EQ(partly.left(), -8999);

    FakeWindow unknownScreen(0, 0, 9000, 6000);
    ApplyWindowPosText(unknownScreen, "30000,40000", ScreenArea{});
    EXPECT_EQ(unknownScreen.top(), 30000);
    EXPECT_EQ(unknownScreen.left(), 40000);
}

TEST(PositionNumber, LeadingNumberRoundedHalvesToEvenAndBounded) {
    EXPECT_EQ(ParsePositionNumber("12.5"), 12);
    EXPECT_EQ(ParsePositionNumber("13.5"), 14);
    EXPECT_EQ(ParsePositionNumber("12.50001"), 13);
    EXPECT_EQ(ParsePositionNumber("12.4999"), 12);
    EXPECT_EQ(ParsePositionNumber("-12.5"), -12);
    EXPECT_EQ(ParsePositionNumber("-"), 0);
    EXPECT_EQ(ParsePositionNumber(".9"), 1);
    EXPECT_EQ(ParsePositionNumber("99999999999999999999999999"), kPositionLimitTwips);
    EXPECT_EQ(ParsePositionNumber("-99999999999999999999999999"), -kPositionLimitTwips);
    EXPECT_EQ(ParsePositionNumber("999999.5"), kPositionLimitTwips);
}

TEST(CenterOnScreen, CentresHalvesToEvenAndHoldsLargeWindowsAtTheEdge) {
    FakeWindow window(1, 1, 9000, 6000);
    CenterOnScreen(window, kScreen);
    EXPECT_EQ(window.left(), 3180);
    EXPECT_EQ(window.top(), 2760);
    EXPECT_EQ(window.order(), "TL");
    EXPECT_EQ(window.caption(), "untitled");

    FakeWindow odd(1, 1, 15357, 11515);  // differences 3 and 5: 1.5 -> 2, 2.5 -> 2
    CenterOnScreen(odd, kScreen);
    EXPECT_EQ(odd.left(), 2);
    EXPECT_EQ(odd.top(), 2);

    FakeWindow large(500, 500, 20000, 15000);
    CenterOnScreen(large, kScreen, 1);
    EXPECT_EQ(large.left(), 0);
    EXPECT_EQ(large.top(), 0);
    EXPECT_EQ(large.caption(), "Trelvane");

    FakeWindow offset(0, 0, 9000, 6000);
    CenterOnScreen(offset, ScreenArea{1000, 405, 15360, 11115});
    EXPECT_EQ(offset.left(), 1000 + 3180);
    EXPECT_EQ(offset.top(), 405 + 2558);
}

TEST(CenterOnScreen, WideScreensDoNotOverflow) {
    // 5120 pixels wide is 76,800 twips: the centred Left no longer fits in 16 bits.
    FakeWindow window(0, 0, 7400, 6000);
    CenterOnScreen(window, ScreenArea{0, 0, 76800, 43200});
    EXPECT_EQ(window.left(), 34700);
    EXPECT_EQ(window.top(), 18600);
}

TEST(TitleRule, OnlyAGivenOneSetsTheCaption) {
    for (const settings::SetTitle setTitle : {settings::SetTitle{}, settings::SetTitle{0},
                                              settings::SetTitle{2}, settings::SetTitle{-1}}) {
        FakeWindow window(0, 0, 100, 100);
        CenterOnScreen(window, kScreen, setTitle);
        ApplyWindowPosText(window, "1,1", kScreen, setTitle);
        CenterOverMainWindow(window, FakeWindow(0, 0, 500, 500), setTitle);
        EXPECT_EQ(window.caption(), "untitled");
    }
    FakeWindow window(0, 0, 100, 100);
    CenterOverMainWindow(window, FakeWindow(0, 0, 500, 500), 1);
    EXPECT_EQ(window.caption(), settings::ApplicationTitle());
}

TEST(CenterOverMainWindow, CentresOverItAndHoldsOnlyAtZero) {
    const FakeWindow main(3000, 2000, 9000, 6000);
    FakeWindow dialog(0, 0, 5000, 4000);
    CenterOverMainWindow(dialog, main);
    EXPECT_EQ(dialog.left(), 3000 + 2000);
    EXPECT_EQ(dialog.top(), 2000 + 1000);
    EXPECT_EQ(dialog.order(), "TL");

    // A dialog wider than the main window near the left screen edge gets Left 0.
    FakeWindow wide(0, 0, 12000, 4000);
    CenterOverMainWindow(wide, FakeWindow(500, 2000, 9000, 6000));
    EXPECT_EQ(wide.left(), 0);
    EXPECT_EQ(wide.top(), 3000);

    // Nothing is held at the right or bottom edge.
    FakeWindow far(0, 0, 5000, 4000);
    CenterOverMainWindow(far, FakeWindow(14000, 10000, 9000, 6000));
    EXPECT_EQ(far.left(), 16000);
    EXPECT_EQ(far.top(), 11000);

    // Rounded as a whole: (1 / 2) + 1 = 1.5 goes to 2, (1 / 2) + 2 = 2.5 to 2.
    FakeWindow rounding(0, 0, 100, 100);
    CenterOverMainWindow(rounding, FakeWindow(1, 2, 101, 101));
    EXPECT_EQ(rounding.left(), 2);
    EXPECT_EQ(rounding.top(), 2);
}

}  // namespace
