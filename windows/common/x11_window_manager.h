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

// Keeps the window manager from offering to maximise the window. Qt's Motif
// hints already leave the maximise function out, which most window managers
// follow; openbox ignores it and offers maximise exactly when it may resize
// a window, so under openbox the resize function is left out as well.
void OfferNoMaximise(QWidget& window);

} // namespace kalvero
