// The desktop program: the analysis and reconstruction objects, the main
// window and the parameters dialog.

#include <exception>

#include "app/Application.h"
#include "app/HelpViewer.h"
#include "app/Unit1.h"
#include "app/Unit2.h"
#include "app/UserDialogs.h"
#include "base/HeapPolicy.h"
#include "base/WorkThreads.h"
#include "contours/ContourCoder.h"
#include "reconstruct/Reconstructor.h"

namespace {

// Constructed before any window, in this order, and destroyed after the event
// loop in the reverse order.
filamorph::ContourCoder analysisObject;
filamorph::Reconstructor reconstructionObject;

int runWindows(int argc, char** argv) {
  filamorph::Application application(argc, argv);
  try {
    filamorph::Application::setApplicationName(QString::fromLatin1(filamorph::TForm1::kTitle));
    filamorph::setApplicationHelpFile(QStringLiteral(":/help/usage.html"));
    filamorph::TForm1 form1(analysisObject, reconstructionObject);
    // Owned by form1; hidden until Detect Contours or Compression Parameters.
    auto* form2 = new filamorph::TForm2(form1);
    form1.setParametersDialog(form2);
    form1.showMaximized();
    return filamorph::Application::exec();
  } catch (...) {
    filamorph::showMessageBox(filamorph::currentExceptionMessage());
    return 0;
  }
}

}  // namespace

int main(int argc, char** argv) {
  filamorph::keepFreedBlocksInTheHeap();
  // The analysis stages share their work with its helper while the windows run.
  const filamorph::WorkThreads stageThreads(0);
  analysisObject.workThreads = &stageThreads;
  const int status = runWindows(argc, argv);
  analysisObject.workThreads = nullptr;
  return status;
}
