#include "ui/BusySpinner.h"

#include <QTest>
#include <QWidget>

#include <gtest/gtest.h>

namespace {

class PaintCountingWidget : public QWidget {
public:
    int paints = 0;

protected:
    void paintEvent(QPaintEvent *) override { ++paints; }
};

} // namespace

// The spinner turns its widget only while running, and a restart goes on from the step it stopped
// at rather than jumping back to the start.
TEST(BusySpinner, StepsAndRepaintsOnlyWhileRunningAndResumesWhereItStopped)
{
    PaintCountingWidget widget;
    widget.resize(28, 28);
    widget.show();
    auto *spinner = new BusySpinner(&widget);
    EXPECT_FALSE(spinner->isRunning());
    EXPECT_EQ(spinner->step(), 0);

    spinner->setRunning(true);
    const int paintsBefore = widget.paints;
    ASSERT_TRUE(QTest::qWaitFor([&] { return spinner->step() >= 3 && widget.paints > paintsBefore; }, 30000));
    EXPECT_EQ(spinner->angle(), spinner->step() * BusySpinner::degreesPerStep % 360);

    spinner->setRunning(false);
    EXPECT_FALSE(spinner->isRunning());
    const int held = spinner->angle();
    spinner->setRunning(true);
    ASSERT_TRUE(QTest::qWaitFor([&] { return spinner->angle() != held; }, 30000));
    EXPECT_EQ(spinner->angle(), (held + BusySpinner::degreesPerStep) % 360);
}

// The angle runs through the twelve turns of a full circle and starts again.
TEST(BusySpinner, AngleWrapsAfterAFullTurn)
{
    QWidget widget;
    auto *spinner = new BusySpinner(&widget);
    spinner->setRunning(true);
    int previous = spinner->angle();
    bool wrapped = false;
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            const int angle = spinner->angle();
            if (angle < previous)
                wrapped = angle == 0 && previous == 330;
            previous = angle;
            return wrapped;
        },
        30000));
}
