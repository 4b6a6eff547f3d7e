#ifndef FILAMORPH_APP_PAINTPROGRAM_H
#define FILAMORPH_APP_PAINTPROGRAM_H
// Finding and starting a paint program for the PaintBrush button.

#include <QString>
#include <QStringList>
#include <optional>

#include "image/Bitmap.h"

namespace filamorph {

struct PaintLaunch {
  QString program;
  QStringList arguments;
};

// The first paint program on the PATH (kolourpaint, pinta, gimp), started
// without arguments: the user pastes the picture into it. Without one, the
// desktop's default viewer through xdg-open on a BMP copy of the picture
// written to a temporary file. No value when nothing can be started.
std::optional<PaintLaunch> choosePaintProgram(const Bitmap& picture);

// Starts the program as a separate process that is neither waited for nor
// watched; false when it could not be started.
bool startDetached(const PaintLaunch& launch);

}  // namespace filamorph

#endif  // FILAMORPH_APP_PAINTPROGRAM_H
