#pragma once

#include <QCursor>

namespace kestrova::viewer {

// Cursor 224: a magnifier with a "2" for the armed zoom.
QCursor MakeZoomCursor();
// Cursor 270: a four-way arrow cross for pan/tilt clicks.
QCursor MakePanTiltCursor();

} // namespace kestrova::viewer
