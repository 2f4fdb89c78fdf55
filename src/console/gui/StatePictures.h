#pragma once

#include <QIcon>
#include <QPixmap>

namespace ruvo::gui {

// The driver's two pictures, drawn here so the program carries no image files: a green
// disc with a "play" mark while it processes receipt files, a red disc with a "stop" mark
// while it does not. The running one is also the program's icon.
QPixmap RunningPicture(int size);
QPixmap StoppedPicture(int size);
QIcon StateIcon(bool processing);

}  // namespace ruvo::gui
