#include "ui/BusyMark.h"

#include <QTest>

#include <gtest/gtest.h>

// A mark turns while it is on screen and stands still (no timer) once hidden, whichever way it
// is hidden; a mark that was never shown never turns.
TEST(BusyMark, TurnsOnlyWhileShown)
{
    QWidget window;
    window.resize(240, 60);
    auto *mark = new BusyMark(BusyMark::Face::Ring, QStringLiteral("正在对比…"), &window);
    auto *never = new BusyMark(BusyMark::Face::Spokes, QString(), &window);
    never->hide();
    EXPECT_FALSE(mark->isTurning());

    window.show();
    EXPECT_TRUE(mark->isTurning());
    EXPECT_FALSE(never->isTurning());
    const int start = mark->angle();
    ASSERT_TRUE(QTest::qWaitFor([&] { return mark->angle() != start; }, 30000));

    mark->hide();
    EXPECT_FALSE(mark->isTurning());
    mark->show();
    EXPECT_TRUE(mark->isTurning());
    window.hide();
    EXPECT_FALSE(mark->isTurning());
}

// The words are the mark's own, read out by assistive tools; the wheel alone keeps its 28-point square.
TEST(BusyMark, ShowsItsWordsBesideTheRingAndTheWheelAlone)
{
    BusyMark ring(BusyMark::Face::Ring, QStringLiteral("正在对比…"));
    EXPECT_EQ(ring.text(), QStringLiteral("正在对比…"));
    EXPECT_EQ(ring.accessibleName(), QStringLiteral("正在对比…"));

    BusyMark wheel(BusyMark::Face::Spokes);
    EXPECT_TRUE(wheel.text().isEmpty());
    EXPECT_EQ(wheel.sizeHint(), QSize(28, 28));
    EXPECT_EQ(wheel.minimumSize(), QSize(28, 28));
    EXPECT_EQ(wheel.maximumSize(), QSize(28, 28));
}
