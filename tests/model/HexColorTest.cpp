#include <gtest/gtest.h>

#include "model/HexColor.h"

TEST(HexColor, ReadsSixDigitsWithOrWithoutDecoration)
{
    const QColor expected(0xDC, 0x26, 0x26);
    EXPECT_EQ(HexColor::uiColor("#DC2626"), expected);
    EXPECT_EQ(HexColor::uiColor("DC2626"), expected);
    EXPECT_EQ(HexColor::uiColor("  #dc2626 "), expected);
    EXPECT_EQ(HexColor::drawingColor("  #dc2626 "), expected);
}

TEST(HexColor, ShorthandOnlyInTheInterfaceReading)
{
    EXPECT_EQ(HexColor::uiColor("#FFF"), QColor(255, 255, 255));
    EXPECT_EQ(HexColor::drawingColor("#FFF"), QColor(0, 15, 255));
}

TEST(HexColor, LowTwentyFourBitsAndBlackFallback)
{
    EXPECT_EQ(HexColor::uiColor("80FF0000"), QColor(255, 0, 0));
    EXPECT_EQ(HexColor::drawingColor("80FF0000"), QColor(255, 0, 0));
    EXPECT_EQ(HexColor::drawingColor("none"), QColor(0, 0, 0));
    EXPECT_EQ(HexColor::uiColor("#GGHHII"), QColor(0, 0, 0));
    EXPECT_EQ(HexColor::drawingColor("0x00FF00"), QColor(0, 255, 0));
    // More digits than fit in 64 bits overflow to all ones: white.
    EXPECT_EQ(HexColor::drawingColor("FFFFFFFFFFFFFFFFFF"), QColor(255, 255, 255));
}
