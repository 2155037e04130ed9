#include "windows/common/fitting_indicators.h"

#include <QCheckBox>
#include <QRadioButton>

#include <algorithm>

namespace kalvero {

int FittingIndicatorStyle::pixelMetric(PixelMetric metric, const QStyleOption* option,
                                       const QWidget* widget) const {
    const int size = QProxyStyle::pixelMetric(metric, option, widget);
    switch (metric) {
    case PM_ExclusiveIndicatorWidth:
    case PM_ExclusiveIndicatorHeight:
    case PM_IndicatorWidth:
    case PM_IndicatorHeight:
        return widget ? std::min(size, widget->height()) : size;
    default:
        return size;
    }
}

void FitIndicators(QWidget& parent) {
    auto* style = new FittingIndicatorStyle;
    style->setParent(&parent);
    for (QWidget* control : parent.findChildren<QWidget*>())
        if (qobject_cast<QRadioButton*>(control) || qobject_cast<QCheckBox*>(control))
            control->setStyle(style);
}

} // namespace kalvero
