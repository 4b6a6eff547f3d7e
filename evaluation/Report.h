#ifndef FILAMORPH_EVALUATION_REPORT_H
#define FILAMORPH_EVALUATION_REPORT_H
// The self-contained HTML report of an evaluation.

#include <string>
#include <vector>

#include "base/Status.h"
#include "evaluation/Evaluation.h"
#include "image/Plane.h"

namespace filamorph::evaluation {

// |a - b| x gain, clamped to 255: small errors made visible. Sizes must match.
Plane<uint8_t> amplifiedDifference(const Plane<uint8_t>& a, const Plane<uint8_t>& b, int gain);

// One page with no outside references: a summary table, then for every
// measured image its pictures (inline PNG) and its rate-distortion plot
// (inline SVG); failed images are listed with their errors. The results must
// come from settings with withReport. Written through a temporary file, so a
// failure leaves whatever was at page untouched.
std::string reportHtml(const std::vector<ImageEvaluation>& results, const EvaluationSettings& settings);
Status writeReport(const std::string& page, const std::vector<ImageEvaluation>& results,
                   const EvaluationSettings& settings);

}  // namespace filamorph::evaluation

#endif  // FILAMORPH_EVALUATION_REPORT_H
