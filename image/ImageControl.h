#ifndef FILAMORPH_IMAGE_IMAGECONTROL_H
#define FILAMORPH_IMAGE_IMAGECONTROL_H
// A headless image control: the picture a view draws into, with its hint,
// geometry and canvas. The desktop program shows it in a widget.

#include <cstdint>
#include <functional>
#include <string>

#include "base/Status.h"
#include "image/Bitmap.h"

namespace filamorph {

class ImageControl {
 public:
  Bitmap picture;
  std::string hint;
  int32_t left = 0;
  int32_t top = 0;
  int32_t width = 0;
  int32_t height = 0;
  bool autoSize = false;
  bool stretch = false;
  bool center = true;
  Color brushColor = 0xFFFFFF;
  bool brushSolid = true;
  int repaintCount = 0;

  // Called by repaint(); the desktop program redraws its widget from it.
  std::function<void()> onRepaint;

  // Loads a bitmap file into the picture; with autoSize on, the control takes
  // the bitmap's size. On failure the picture is unchanged.
  Status loadFromFile(const std::string& path);
  Status saveToFile(const std::string& path) const;
  // Assigns a picture (auto-size applies as for loading).
  void assign(Bitmap bitmap);

  // The canvas: a 24-bit bitmap to draw on. An empty picture becomes a black
  // 24-bit bitmap of the control's size; an 8-bit one is converted first, and
  // one whose format carries no pixels becomes black at its own size.
  Bitmap& canvas();
  // Canvas pixel at column x, row y; positions outside the picture are ignored.
  void setPixel(int32_t x, int32_t y, Color color);
  // Rectangles with right and bottom exclusive, in the brush colour, clipped to
  // the canvas; a clear (not solid) brush draws nothing.
  void fillRect(int32_t left, int32_t top, int32_t right, int32_t bottom);
  void frameRect(int32_t left, int32_t top, int32_t right, int32_t bottom);

  void repaint();
};

}  // namespace filamorph

#endif  // FILAMORPH_IMAGE_IMAGECONTROL_H
