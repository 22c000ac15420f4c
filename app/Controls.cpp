#include "app/Controls.h"

#include <algorithm>

TrackBar::TrackBar(QWidget* parent) : QSlider(Qt::Horizontal, parent) {
    setTickPosition(QSlider::TicksBelow);
    // QAbstractSlider emits valueChanged for every change, from the user and
    // from code (also when a new range moves the value), and nothing when
    // the value stays: exactly the rule the settings code needs.
    connect(this, &QSlider::valueChanged, this, &TrackBar::Change);
}

void TrackBar::SetPosition(int position) {
    setValue(std::clamp(position, minimum(), maximum()));
}

void TrackBar::SetMin(int min) {
    if (min > maximum()) return;
    setMinimum(min);
}

void TrackBar::SetMax(int max) {
    if (max < minimum()) return;
    setMaximum(max);
}

CheckBox::CheckBox(const QString& text, QWidget* parent) : QCheckBox(text, parent) {
    connect(this, &QCheckBox::toggled, this, &CheckBox::Click);
}

RadioButton::RadioButton(const QString& text, int value, QWidget* parent)
    : QRadioButton(text, parent), value_(value) {
    connect(this, &QRadioButton::toggled, this, [this](bool on) {
        if (on) emit Click();
    });
}
