#include "app/ImageView.h"

#include <QPainter>
#include <algorithm>

#include "app/PictureConversion.h"

namespace filamorph {

ImageView::ImageView(const ImageControl& control, QPoint origin, QWidget* parent)
    : QWidget(parent), control_(control), origin_(origin) {
  refresh();
}

void ImageView::refresh() {
  // Controls above the parent's top edge are clipped to it rather than lost.
  const int x = std::max(0, control_.left - origin_.x());
  const int y = std::max(0, control_.top - origin_.y());
  setGeometry(x, y, std::max(0, control_.width), std::max(0, control_.height));
  setToolTip(QString::fromStdString(control_.hint));
  pictureStale_ = true;
  update();
}

const QImage& ImageView::shownImage() {
  if (pictureStale_) {
    image_ = toQImage(control_.picture);
    pictureStale_ = false;
  }
  return image_;
}

void ImageView::paintEvent(QPaintEvent*) {
  const QImage& image = shownImage();
  if (image.isNull()) return;
  QPainter painter(this);
  // Nearest-neighbour scaling: a zoomed view shows the true pixels.
  painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
  if (control_.stretch) {
    painter.drawImage(rect(), image);
  } else if (control_.center) {
    painter.drawImage((width() - image.width()) / 2, (height() - image.height()) / 2, image);
  } else {
    painter.drawImage(0, 0, image);
  }
}

}  // namespace filamorph
