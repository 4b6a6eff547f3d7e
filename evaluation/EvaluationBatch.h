#ifndef FILAMORPH_EVALUATION_EVALUATIONBATCH_H
#define FILAMORPH_EVALUATION_EVALUATIONBATCH_H
// Many images measured in parallel, each on its own objects.

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "evaluation/Evaluation.h"

namespace filamorph::evaluation {

// Called after each finished image with the count done so far and the total,
// from whichever worker finished it, never from two workers at once.
using BatchProgress = std::function<void(std::size_t done, std::size_t total)>;

// Measures every path on up to jobs worker threads (at least one) and returns
// the results in the order of the paths. Each image has its own analysis and
// reconstruction objects and its own dither generator, so the results do not
// depend on jobs. While the batch runs, the codec's messages go into the
// result of the image whose measurement showed them (see MessageRoute).
std::vector<ImageEvaluation> evaluateImages(const std::vector<std::string>& paths, const EvaluationSettings& settings,
                                            unsigned jobs, const BatchProgress& progress = {});

}  // namespace filamorph::evaluation

#endif  // FILAMORPH_EVALUATION_EVALUATIONBATCH_H
