// Where the windows stand when they are loaded. The arithmetic is in twips
// on the outer (frame) geometry of the windows and the size of the screen;
// the pure functions take plain numbers so that the placement rules can be
// checked on their own.
#pragma once

class QWidget;

namespace kalvero {

struct TwipsPoint {
    double left = 0;
    double top = 0;
};

struct TwipsSize {
    double width = 0;
    double height = 0;
};

// One fifth of the free horizontal space from the left edge, centred
// vertically, in single precision (the main window and the progress window).
TwipsPoint FifthAcrossCentred(float screenWidth, float screenHeight, float windowWidth,
                              float windowHeight);

// Directly right of a window, top edges level, the top taken as a whole
// number of twips (the syntax selection dialog beside the main window).
TwipsPoint RightOf(double left, double top, double width);

// The size of the widget's screen and the widget's outer position and size.
TwipsSize ScreenSizeInTwips(const QWidget& widget);
TwipsPoint OuterPositionInTwips(const QWidget& widget);
TwipsSize OuterSizeInTwips(const QWidget& widget);

// Moves the window's outer top-left corner to the position, keeping its size.
void MoveToTwips(QWidget& window, const TwipsPoint& position);

// Sets the window's client area (below any menu bar) to a size in twips.
void SetClientSizeInTwips(QWidget& window, double width, double height, int extraHeight = 0);

// Places the window by FifthAcrossCentred on its screen.
void PlaceFifthAcrossCentred(QWidget& window);

} // namespace kalvero
