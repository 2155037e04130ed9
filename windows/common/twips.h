// Window geometry is given in twips (1/1440 inch); this is the one place that
// converts it to pixels, at the screen's logical DPI (15 twips a pixel at 96).
#pragma once

#include <QRect>

class QScreen;

namespace kalvero {

double TwipsPerPixelX(const QScreen* screen = nullptr);
double TwipsPerPixelY(const QScreen* screen = nullptr);
int TwipsToPixelsX(double twips, const QScreen* screen = nullptr);
int TwipsToPixelsY(double twips, const QScreen* screen = nullptr);
double PixelsToTwipsX(int pixels, const QScreen* screen = nullptr);
double PixelsToTwipsY(int pixels, const QScreen* screen = nullptr);
// A rectangle given in twips, in pixels.
QRect TwipsRect(double left, double top, double width, double height,
                const QScreen* screen = nullptr);

} // namespace kalvero
