#include "app/ModelReference.h"

#include <algorithm>

namespace filamorph {

void ModelReference::imageOpened(const GrayImage& analysis, const QString& fileName) {
  opened_.reset();
  grayIsOpenedImage_ = false;
  if (analysis.grayPlaneAllocated != 1 || !analysis.grayPlane.exists()) return;
  auto reference = std::make_shared<Reference>();
  reference->gray.allocate(analysis.grayPlane.rows(), analysis.grayPlane.cols());
  std::copy_n(analysis.grayPlane.data(), analysis.grayPlane.size(), reference->gray.data());
  reference->fileName = fileName;
  opened_ = std::move(reference);
  grayIsOpenedImage_ = true;
}

}  // namespace filamorph
