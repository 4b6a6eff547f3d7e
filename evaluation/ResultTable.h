#ifndef FILAMORPH_EVALUATION_RESULTTABLE_H
#define FILAMORPH_EVALUATION_RESULTTABLE_H
// The measurements as a table for people and as CSV for their tools.

#include <string>
#include <vector>

#include "evaluation/Evaluation.h"

namespace filamorph::evaluation {

// Two aligned tables, rate and distortion beside the matched JPEG, then the
// stage times; a failed image gets one line with its error, and the codec's
// messages follow, each after its image's name.
std::string formatTable(const std::vector<ImageEvaluation>& results);

// The header, then one line per measured image (failed ones are left out).
// "\n" line ends; the image name is quoted when it holds a comma, a quote or
// a line break; PSNR of identical images is "inf", an undefined SSIM "nan".
std::string csvHeader();
std::string formatCsv(const std::vector<ImageEvaluation>& results);

}  // namespace filamorph::evaluation

#endif  // FILAMORPH_EVALUATION_RESULTTABLE_H
