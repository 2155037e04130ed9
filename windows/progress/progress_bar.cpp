#include "windows/progress/progress_bar.h"

#include <algorithm>
#include <cmath>

namespace kalvero {

namespace {
constexpr int kSteps = 10000;
}

SingleProgressBar::SingleProgressBar(QWidget* parent) : QProgressBar(parent) {
    setRange(0, kSteps);
    setTextVisible(false);
    ShowShare();
}

void SingleProgressBar::SetMin(float minimum) {
    min_ = minimum;
    ShowShare();
}

void SingleProgressBar::SetMax(float maximum) {
    max_ = maximum;
    ShowShare();
}

void SingleProgressBar::SetValue(float value) {
    value_ = value;
    ShowShare();
}

void SingleProgressBar::ShowShare() {
    const double span = static_cast<double>(max_) - static_cast<double>(min_);
    double share = 0.0;
    if (span > 0.0 && std::isfinite(span) && std::isfinite(value_))
        share = std::clamp((static_cast<double>(value_) - min_) / span, 0.0, 1.0);
    setValue(static_cast<int>(std::lround(share * kSteps)));
}

} // namespace kalvero
