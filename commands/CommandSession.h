#ifndef FILAMORPH_COMMANDS_COMMANDSESSION_H
#define FILAMORPH_COMMANDS_COMMANDSESSION_H
// The codec commands of the main window, headless: each runs the operations
// of the analysis and reconstruction objects in the window's fixed order.

#include <string>

#include "contours/ContourCoder.h"
#include "image/ImageControl.h"
#include "image/Status.h"
#include "reconstruct/Reconstructor.h"

namespace filamorph {

// The window, the command-line tool and the evaluation all drive the codec
// through this class, so that they run the same steps in the same order.
// A command whose data does not exist yet does nothing and returns false (or
// a failure); a failing step ends its command, and the steps done before it
// stay done.
class CommandSession {
 public:
  CommandSession(ContourCoder& analysis, Reconstructor& reconstruction)
      : analysis(analysis), reconstruction(reconstruction) {}

  ContourCoder& analysis;
  Reconstructor& reconstruction;
  ImageControl image2;  // the main image: every view is drawn here
  ImageControl image3;  // the side image of the contour and model views
  // The bitmap last opened; Detect Contours reloads it.
  std::string lastPictureFile;

  // Open Image: release and reset the analysis object, keep the name, load
  // the bitmap into image2 and import it.
  Status openImage(const std::string& fileName);
  // Detect Contours: reload and import the last opened bitmap, detect edges
  // with the fixed parameters, show the edge map, smooth the gray plane.
  Status detectContours();
  bool traceContours();
  // Obtain Filamorph: normals, profile fits, model planes and model view.
  bool obtainFilamorph();
  // Perceptual selection as the parameters dialog runs it (black canvas,
  // selectContours, descriptor view).
  bool selectContours(float lengthWeight, float curvatureWeight, float contrastWeight, int32_t numberToSelect);
  Status compressToFile(const std::string& fileName);
  // Open Coded Image: read the file, descriptor view, normals, model planes
  // and model view.
  Status openCodedImage(const std::string& fileName);
  // Reconstruct with the fixed solver parameters, then show the result.
  // Returns false when there is no model or the observer cancelled.
  bool reconstruct(DitherGenerator& generator = DitherGenerator::programWide(), const SweepObserver& observer = {});

  bool hasImage() const { return analysis.grayPlaneAllocated == 1; }
  bool hasEdges() const { return analysis.edgePlanesAllocated == 1; }
  bool hasContours() const { return analysis.contoursReady == 1 || !analysis.contours.empty(); }
  bool hasModel() const { return reconstruction.sparsenessPlane.exists(); }

  // Zoom by n / d of the analysis object's size, integer arithmetic.
  void zoom(int numerator, int denominator);
};

}  // namespace filamorph

#endif  // FILAMORPH_COMMANDS_COMMANDSESSION_H
