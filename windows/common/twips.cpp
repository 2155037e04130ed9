#include "windows/common/twips.h"

#include <QGuiApplication>
#include <QScreen>

#include <cmath>

namespace kalvero {

namespace {
constexpr double kTwipsPerInch = 1440.0;

const QScreen* ScreenOrPrimary(const QScreen* screen) {
    return screen ? screen : QGuiApplication::primaryScreen();
}
} // namespace

double TwipsPerPixelX(const QScreen* screen) {
    const QScreen* s = ScreenOrPrimary(screen);
    const double dpi = s ? s->logicalDotsPerInchX() : 96.0;
    return kTwipsPerInch / (dpi > 0 ? dpi : 96.0);
}

double TwipsPerPixelY(const QScreen* screen) {
    const QScreen* s = ScreenOrPrimary(screen);
    const double dpi = s ? s->logicalDotsPerInchY() : 96.0;
    return kTwipsPerInch / (dpi > 0 ? dpi : 96.0);
}

int TwipsToPixelsX(double twips, const QScreen* screen) {
    return static_cast<int>(std::lround(twips / TwipsPerPixelX(screen)));
}

int TwipsToPixelsY(double twips, const QScreen* screen) {
    return static_cast<int>(std::lround(twips / TwipsPerPixelY(screen)));
}

double PixelsToTwipsX(int pixels, const QScreen* screen) {
    return pixels * TwipsPerPixelX(screen);
}

double PixelsToTwipsY(int pixels, const QScreen* screen) {
    return pixels * TwipsPerPixelY(screen);
}

QRect TwipsRect(double left, double top, double width, double height, const QScreen* screen) {
    return QRect(TwipsToPixelsX(left, screen), TwipsToPixelsY(top, screen),
                 TwipsToPixelsX(width, screen), TwipsToPixelsY(height, screen));
}

} // namespace kalvero
