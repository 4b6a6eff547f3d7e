#ifndef FILAMORPH_APP_MODELREFERENCE_H
#define FILAMORPH_APP_MODELREFERENCE_H
// The gray plane that a reconstruction is measured against: the opened image's.

#include <QString>
#include <cstdint>
#include <memory>

#include "image/GrayImage.h"
#include "image/Plane.h"

namespace filamorph {

// A model obtained from the image opened in this window is measured against
// that image's gray plane as Open Image imported it (before Detect Contours
// smooths it). A model read from a file, or obtained from a pasted or
// inverted gray plane, has no reference.
class ModelReference {
 public:
  struct Reference {
    Plane<uint8_t> gray;
    QString fileName;
  };

  // Open Image: the imported plane, or none when the import refused it.
  void imageOpened(const GrayImage& analysis, const QString& fileName);
  // Paste and Invert: the analysis works on other gray levels than the file's.
  void grayLevelsReplaced() { grayIsOpenedImage_ = false; }
  // Detect Contours imports the opened file again.
  void imageReloaded() { grayIsOpenedImage_ = opened_ != nullptr; }
  // Obtain Filamorph: the model is the opened image's while its gray levels are.
  void modelObtained() { model_ = grayIsOpenedImage_ ? opened_ : nullptr; }
  // Open Coded Image: the model comes from a file.
  void modelRead() { model_ = nullptr; }

  // The reference of the current model, or null.
  const Reference* forModel() const { return model_.get(); }

 private:
  std::shared_ptr<const Reference> opened_;
  std::shared_ptr<const Reference> model_;
  bool grayIsOpenedImage_ = false;
};

}  // namespace filamorph

#endif  // FILAMORPH_APP_MODELREFERENCE_H
