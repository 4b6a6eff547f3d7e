#ifndef FILAMORPH_COMMANDS_COMMANDSESSION_H
#define FILAMORPH_COMMANDS_COMMANDSESSION_H
// The codec commands of the main window, headless: each runs the operations
// of the analysis and reconstruction objects in the window's fixed order.

#include <cstdint>
#include <string>

#include "base/Status.h"
#include "contours/ContourCoder.h"
#include "image/Bitmap.h"
#include "image/BmpFile.h"
#include "image/ImageControl.h"
#include "reconstruct/Reconstructor.h"

namespace filamorph {

// The window, the command-line tool and the evaluation all drive the codec
// through this class, so that they run the same steps in the same order.
//
// A command whose data does not exist yet does nothing and returns false; a
// failing step ends its command with a failure Status, and the steps done
// before it stay done. Messages of the codec itself (a refused pixel format,
// "End of the file", contours left out of a file) go through showMessage().
//
// Reading a compressed file changes the analysis object's size but not its
// other planes; every view and command here checks that the planes it reads
// have the current size, so that none ever reads outside a plane.
class CommandSession {
 public:
  CommandSession(ContourCoder& analysis, Reconstructor& reconstruction)
      : analysis(analysis), reconstruction(reconstruction) {}

  ContourCoder& analysis;
  Reconstructor& reconstruction;
  ImageControl image2;  // the main image: every view is drawn here
  ImageControl image3;  // the side image of the contour and model views
  // The bitmap last chosen in the open-picture dialog; Detect Contours reloads it.
  std::string lastPictureFile;
  // Whether the codec commands draw their views into image2 and image3. A
  // caller that shows none, like the command line, turns it off: the commands
  // then make the same data and skip only the drawing. The Show commands
  // draw either way.
  bool drawsViews = true;
  // Whether laying the model makes the model planes that Reconstruct and the
  // model view read. A caller that only writes the model to a file, like the
  // command line's encode, turns it off: the file is made from the contours
  // alone, and no planes are made or drawn; any planes of an earlier model
  // are released, so that none outlives its model.
  bool laysModelPlanes = true;

  // Open Image: release and reset the analysis object, keep the name, load
  // the bitmap into image2 and import it. A refused pixel format is shown by
  // the import, leaves no gray plane and is returned as an
  // UnsupportedPixelFormat failure.
  Status openImage(const std::string& fileName);
  // Detect Contours: reload and import the last opened bitmap, detect edges
  // with the fixed parameters and smooth the gray plane, show the edge map. A
  // bitmap that no longer reads or imports ends it with that failure.
  Status detectContours();
  // Trace Contours and the contour view.
  bool traceContours();
  // Obtain Filamorph: normals, profile fits, then layModel().
  bool obtainFilamorph();
  // Steps shared by Obtain Filamorph and Open Coded Image: copy the size into
  // the reconstruction object, make its model planes, lay the selected
  // contours' profiles into them and show the model (with laysModelPlanes
  // off, only the first).
  bool layModel();
  // The parameters dialog's selection: black canvas, selectContours, the
  // descriptor view. The model planes are not laid again (layModel() does).
  bool selectContours(float lengthWeight, float curvatureWeight, float contrastWeight, int32_t numberToSelect);
  // The threshold track bars: store the shares, re-threshold the existing
  // gradients and show the edge map. Does nothing without edge planes.
  bool rethreshold(int32_t low, int32_t high);
  // summary, when given, receives what the file holds and what it left out.
  Status compressToFile(const std::string& fileName, ContourCoder::CodedFileSummary* summary = nullptr);
  // Open Coded Image: readCodedImage(), then layCodedImage(). A refused file
  // leaves everything as it was.
  Status openCodedImage(const std::string& fileName, const CodedFileReading& reading = {});
  // The first half of Open Coded Image: the model as read, with no plane made
  // and no view drawn, so that its cost is that of the file.
  Status readCodedImage(const std::string& fileName, const CodedFileReading& reading = {});
  Status readCodedImage(BitFile& file, const std::string& name, const CodedFileReading& reading = {});
  // The second half: descriptor view, normals, layModel(). False when no
  // model has been read or fitted.
  bool layCodedImage();
  // Reconstruct with the fixed solver parameters, then show the result.
  // Returns false when there is no model or the observer cancelled (the
  // reconstruction object and the generator are then unchanged).
  bool reconstruct(DitherGenerator& generator = DitherGenerator::programWide(), const SweepObserver& observer = {});
  // The same with the fill-in taken to convergence (the tools' --solver
  // converged; the window always runs the sweeps). False without a model.
  bool reconstructConverged(DitherGenerator& generator, ConvergedSolveReport& report);

  // Edit commands.
  bool invert();
  // Paste: the picture becomes image2's and is imported.
  Status pasteBitmap(Bitmap bitmap);

  // The views of the Show menu; each returns false when its data is missing.
  bool showGrayLevel();
  bool showEdges();
  bool showContours();
  bool showDescriptor();
  bool showBoundingBoxes();
  bool showModel();
  bool showReconstructed();

  // Zoom by numerator / denominator of the analysis object's size, integer
  // arithmetic, product first.
  void zoom(int32_t numerator, int32_t denominator);

  bool hasImage() const;
  bool hasEdges() const;
  bool hasTracedContours() const;
  bool hasContours() const { return !analysis.contours.empty(); }
  bool hasFittedModel() const { return modelReady_; }
  bool hasModelPlanes() const { return reconstruction.sparsenessPlane.exists(); }
  bool hasReconstruction() const;

 private:
  template <typename T>
  bool matchesAnalysisSize(const Plane<T>& plane) const {
    return plane.exists() && plane.rows() == analysis.rows && plane.cols() == analysis.cols;
  }
  Status loadPictureIntoImage2(const std::string& fileName);

  // Set once a model has been fitted or read; any step that replaces the
  // contour table clears it, so that an unfitted table is never written.
  bool modelReady_ = false;
};

}  // namespace filamorph

#endif  // FILAMORPH_COMMANDS_COMMANDSESSION_H
