#ifndef FILAMORPH_EVALUATION_RESULTFILES_H
#define FILAMORPH_EVALUATION_RESULTFILES_H
// One image's measurements as a set of files in a shared folder, and folders of them read back for the report.

#include <cstddef>
#include <string>
#include <vector>

#include "base/Status.h"
#include "evaluation/Evaluation.h"

namespace filamorph::evaluation {

// Writes NAME.result (every number the table, CSV and report show, written
// so that it reads back exactly) and, for a measured image with pictures,
// NAME.original.pgm, .edges.pgm, .model.pgm, .reconstruction.pgm and
// .jpeg.pgm, where NAME is the image's file name made safe plus a hash of
// its full name. Each file is written through a temporary sibling and the
// .result file last, so a reader that sees it sees the whole set, and jobs
// measuring other images may share the folder.
// position is the image's place in the list the user gave eval, shared by
// every shard of one corpus, so that merged results keep the list's order.
Status writeResultFiles(const std::string& folder, const ImageEvaluation& result, std::size_t position,
                        const EvaluationSettings& settings);

struct ResultCollection {
  std::vector<ImageEvaluation> results;  // in the order of their positions, then of their names
  EvaluationSettings settings;           // with the report's rate choices
};

// Reads every .result file (and its pictures) in the folders. Refuses
// results measured with different contour choices, an image measured twice
// and a file that is not a result, with a message naming the file.
Status readResultFolders(const std::vector<std::string>& folders, ResultCollection& collection);

}  // namespace filamorph::evaluation

#endif  // FILAMORPH_EVALUATION_RESULTFILES_H
