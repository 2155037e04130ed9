// A progress bar whose minimum, maximum and value are single-precision
// numbers, read back exactly as they were set. QProgressBar counts in
// integers, so the bar shows the value's share of the range in fine steps.
#pragma once

#include <QProgressBar>

namespace kalvero {

class SingleProgressBar : public QProgressBar {
public:
    explicit SingleProgressBar(QWidget* parent);

    float Min() const { return min_; }
    float Max() const { return max_; }
    float Value() const { return value_; }
    void SetMin(float minimum);
    void SetMax(float maximum);
    void SetValue(float value);

private:
    void ShowShare();

    float min_ = 0.0f;
    float max_ = 100.0f;
    float value_ = 0.0f;
};

} // namespace kalvero
