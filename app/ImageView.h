#ifndef FILAMORPH_APP_IMAGEVIEW_H
#define FILAMORPH_APP_IMAGEVIEW_H
// A widget that shows a headless image control: its picture, hint, size,
// position and stretch.

#include <QImage>
#include <QPoint>
#include <QWidget>

#include "image/ImageControl.h"

namespace filamorph {

// The control is the model and the widget only mirrors it: refresh() re-reads
// geometry and hint at once and converts the picture at the next paint.
// Control coordinates are client coordinates of the window; `origin` is where
// the widget's parent sits in them.
class ImageView : public QWidget {
  Q_OBJECT
 public:
  ImageView(const ImageControl& control, QPoint origin, QWidget* parent = nullptr);

  void refresh();
  // The picture as last converted for display.
  const QImage& shownImage();

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  const ImageControl& control_;
  QPoint origin_;
  QImage image_;
  bool pictureStale_ = true;
};

}  // namespace filamorph

#endif  // FILAMORPH_APP_IMAGEVIEW_H
