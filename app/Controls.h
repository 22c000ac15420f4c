// Controls with the event rules the settings code is written against.
//
// Qt's widgets differ from those rules in places (QSlider::setMinimum above
// the maximum moves the maximum; QCheckBox::clicked is only raised for the
// user), so the dialog uses these small subclasses:
//  - TrackBar raises Change whenever its position changes, by the user or by
//    code, nested inside the call that changed it; setting the position it
//    already has raises nothing; a position set by code is clamped into the
//    range first; a minimum above the maximum (or a maximum below the
//    minimum) is not applied.
//  - CheckBox raises Click whenever its checked state changes.
//  - RadioButton raises Click when it becomes checked.
#pragma once

#include <QCheckBox>
#include <QRadioButton>
#include <QSlider>

class TrackBar : public QSlider {
    Q_OBJECT
public:
    explicit TrackBar(QWidget* parent = nullptr);

    int Position() const { return value(); }
    void SetPosition(int position);
    int Min() const { return minimum(); }
    int Max() const { return maximum(); }
    void SetMin(int min);
    void SetMax(int max);
    // Tick spacing.
    void SetFrequency(int every) { setTickInterval(every); }
    int Frequency() const { return tickInterval(); }

signals:
    void Change();
};

class CheckBox : public QCheckBox {
    Q_OBJECT
public:
    explicit CheckBox(const QString& text, QWidget* parent = nullptr);
    bool Checked() const { return isChecked(); }
    void SetChecked(bool on) { setChecked(on); }

signals:
    void Click();
};

class RadioButton : public QRadioButton {
    Q_OBJECT
public:
    RadioButton(const QString& text, int value, QWidget* parent = nullptr);
    bool Checked() const { return isChecked(); }
    void SetChecked(bool on) { setChecked(on); }
    // The number the button stands for (a sample rate, for instance).
    int Value() const { return value_; }

signals:
    void Click();

private:
    int value_;
};
