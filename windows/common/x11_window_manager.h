// What the window manager of an X11 desktop must be told or asked directly,
// beyond what Qt says for us. Off X11 (Wayland, offscreen) nothing is done.
#pragma once

#include <QMargins>

#include <optional>

class QWidget;

namespace kalvero {

// The frame the window manager will put around the window, asked for with
// _NET_REQUEST_FRAME_EXTENTS before the window is first shown; none when the
// window manager does not answer.
std::optional<QMargins> RequestFrameExtents(QWidget& window);

} // namespace kalvero
