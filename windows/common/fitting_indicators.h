// A style whose option-button circles and check boxes are never taller than
// their control: the classic controls are 13 pixels high, the style's own
// indicators a little more, and would be cut off at the bottom.
#pragma once

#include <QProxyStyle>

namespace kalvero {

class FittingIndicatorStyle : public QProxyStyle {
public:
    int pixelMetric(PixelMetric metric, const QStyleOption* option = nullptr,
                    const QWidget* widget = nullptr) const override;
};

// Gives every option button and check box below parent the fitting style,
// owned by parent.
void FitIndicators(QWidget& parent);

} // namespace kalvero
