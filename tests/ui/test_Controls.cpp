#include "app/Controls.h"

#include <QWidget>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

namespace {

// One operation on a track bar set up with a range and a position, and
// what must follow.
struct TrackBarCase {
    const char* name;
    int min, max, position;
    enum Op { Position, Min, Max } op;
    int argument;
    int expectedMin, expectedMax, expectedPosition;
    int expectedChanges;
};

class TrackBarRules : public ::testing::TestWithParam<TrackBarCase> {};

TEST_P(TrackBarRules, RangeAndPositionFollowTheRules) {
    const TrackBarCase& c = GetParam();
    TrackBar bar;
    bar.setRange(c.min, c.max);
    bar.setValue(c.position);
    int changes = 0;
    std::vector<int> seen;
    QObject::connect(&bar, &TrackBar::Change, [&] {
        ++changes;
        seen.push_back(bar.Position());
    });
    switch (c.op) {
    case TrackBarCase::Position:
        bar.SetPosition(c.argument);
        break;
    case TrackBarCase::Min:
        bar.SetMin(c.argument);
        break;
    case TrackBarCase::Max:
        bar.SetMax(c.argument);
        break;
    }
    EXPECT_EQ(bar.Min(), c.expectedMin);
    EXPECT_EQ(bar.Max(), c.expectedMax);
    EXPECT_EQ(bar.Position(), c.expectedPosition);
    EXPECT_EQ(changes, c.expectedChanges);
    // The handler already sees the new position.
    for (int p : seen)
        EXPECT_EQ(p, c.expectedPosition);
}

INSTANTIATE_TEST_SUITE_P(
    Table, TrackBarRules,
    ::testing::Values(
        TrackBarCase{"NewPosition", 1, 100, 1, TrackBarCase::Position, 37, 1, 100, 37, 1},
        TrackBarCase{"SamePosition", 1, 100, 37, TrackBarCase::Position, 37, 1, 100, 37, 0},
        TrackBarCase{"AboveRangeClamped", 1, 100, 50, TrackBarCase::Position, 250, 1, 100, 100, 1},
        TrackBarCase{"BelowRangeClamped", 1, 100, 50, TrackBarCase::Position, 0, 1, 100, 1, 1},
        TrackBarCase{"ClampedToCurrent", 1, 100, 1, TrackBarCase::Position, -5, 1, 100, 1, 0},
        TrackBarCase{"MinAboveMaxIgnored", 1024, 4000, 3000, TrackBarCase::Min, 5000, 1024, 4000,
                     3000, 0},
        TrackBarCase{"MinEqualToMaxApplied", 1024, 4000, 3000, TrackBarCase::Min, 4000, 4000, 4000,
                     4000, 1},
        TrackBarCase{"MaxBelowMinIgnored", 12000, 24000, 12000, TrackBarCase::Max, 5512, 12000,
                     24000, 12000, 0},
        TrackBarCase{"NewMaxMovesPosition", 1024, 24000, 11025, TrackBarCase::Max, 5512, 1024, 5512,
                     5512, 1},
        TrackBarCase{"NewMinMovesPosition", 1024, 24000, 1024, TrackBarCase::Min, 2000, 2000, 24000,
                     2000, 1},
        TrackBarCase{"NewMaxKeepsPosition", 1024, 24000, 3000, TrackBarCase::Max, 4000, 1024, 4000,
                     3000, 0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(TrackBar, ChangeRunsNestedInsideTheCallThatCausedIt) {
    TrackBar bar;
    bar.setRange(1, 100);
    bar.setValue(1);
    std::vector<std::string> events;
    QObject::connect(&bar, &TrackBar::Change, [&] {
        events.push_back("change " + std::to_string(bar.Position()));
        // A handler that corrects the position again, as the bandwidth
        // handler does: the inner change completes inside the outer one.
        if (bar.Position() > 50) bar.SetPosition(50);
        events.push_back("end " + std::to_string(bar.Position()));
    });
    bar.SetPosition(80);
    events.push_back("returned");
    const std::vector<std::string> expected{"change 80", "change 50", "end 50", "end 50",
                                            "returned"};
    EXPECT_EQ(events, expected);
}

TEST(TrackBar, OperatorStepRaisesChange) {
    TrackBar bar;
    bar.setRange(50, 500);
    bar.setValue(100);
    int changes = 0;
    QObject::connect(&bar, &TrackBar::Change, [&] { ++changes; });
    bar.triggerAction(QAbstractSlider::SliderSingleStepAdd);
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(bar.Position(), 101);
}

TEST(CheckBox, ClickOnEveryChangeOfStateByCodeOrOperator) {
    CheckBox box(QStringLiteral("Nyquist Bandwidth"));
    std::vector<bool> clicks;
    QObject::connect(&box, &CheckBox::Click, [&] { clicks.push_back(box.Checked()); });
    box.SetChecked(true);
    box.SetChecked(true); // no change, no click
    box.SetChecked(false);
    box.click(); // the operator
    EXPECT_EQ(clicks, (std::vector<bool>{true, false, true}));
}

class RadioGroup : public ::testing::Test {
protected:
    void SetUp() override {
        parent = std::make_unique<QWidget>();
        for (int rate : {48000, 22050, 8000}) {
            auto* b = new RadioButton(QString::number(rate), rate, parent.get());
            QObject::connect(b, &RadioButton::Click, [this, b] { clicks.push_back(b->Value()); });
            buttons.push_back(b);
        }
        buttons[0]->SetChecked(true);
        clicks.clear();
    }
    std::unique_ptr<QWidget> parent;
    std::vector<RadioButton*> buttons;
    std::vector<int> clicks;
};

TEST_F(RadioGroup, ClickOnlyForTheButtonThatBecomesChecked) {
    buttons[2]->SetChecked(true);
    EXPECT_EQ(clicks, std::vector<int>{8000});
    EXPECT_FALSE(buttons[0]->Checked());
    EXPECT_FALSE(buttons[1]->Checked());
    EXPECT_TRUE(buttons[2]->Checked());
}

TEST_F(RadioGroup, CheckingTheCheckedButtonRaisesNothing) {
    buttons[0]->SetChecked(true);
    buttons[0]->click();
    EXPECT_TRUE(clicks.empty());
    EXPECT_TRUE(buttons[0]->Checked());
}

TEST_F(RadioGroup, DisabledButtonCheckedByCodeStillRaisesClick) {
    // A stored rate the device refuses is checked all the same.
    buttons[1]->setEnabled(false);
    buttons[1]->SetChecked(true);
    EXPECT_EQ(clicks, std::vector<int>{22050});
    EXPECT_TRUE(buttons[1]->Checked());
}

TEST_F(RadioGroup, OperatorClickRaisesClickOnce) {
    buttons[1]->click();
    EXPECT_EQ(clicks, std::vector<int>{22050});
}

TEST_F(RadioGroup, ClickRunsBeforeSetCheckedReturns) {
    bool inside = false;
    bool ranInside = false;
    QObject::connect(buttons[1], &RadioButton::Click, [&] { ranInside = inside; });
    inside = true;
    buttons[1]->SetChecked(true);
    inside = false;
    EXPECT_TRUE(ranInside);
}

} // namespace
