#include "evaluation/EvaluationBatch.h"

#include <algorithm>
#include <atomic>
#include <mutex>
#include <thread>

#include "evaluation/MessageRoute.h"

namespace filamorph::evaluation {

std::vector<ImageEvaluation> evaluateImages(const std::vector<std::string>& paths, const EvaluationSettings& settings,
                                            unsigned jobs, const BatchProgress& progress) {
  std::vector<ImageEvaluation> results(paths.size());
  std::atomic<std::size_t> next{0};
  std::mutex progressMutex;
  std::size_t done = 0;

  const std::size_t workers = std::clamp<std::size_t>(jobs, 1, std::max<std::size_t>(paths.size(), 1));
  EvaluationSettings perImage = settings;
  // Several images at once already keep the cores busy; a second sweep thread
  // each would only make them wait for one another.
  if (workers > 1) perImage.sweepThreads = 1;

  auto work = [&] {
    for (std::size_t index = next++; index < paths.size(); index = next++) {
      results[index] = evaluateImage(paths[index], perImage);
      std::lock_guard<std::mutex> lock(progressMutex);
      ++done;
      if (progress) progress(done, paths.size());
    }
  };

  const MessageRoute route;
  std::vector<std::thread> threads;
  threads.reserve(workers);
  for (std::size_t i = 0; i < workers; ++i) threads.emplace_back(work);
  for (std::thread& thread : threads) thread.join();
  return results;
}

}  // namespace filamorph::evaluation
