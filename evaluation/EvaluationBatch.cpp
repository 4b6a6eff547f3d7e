#include "evaluation/EvaluationBatch.h"

#include <algorithm>
#include <atomic>
#include <mutex>
#include <thread>
#include <utility>

#include "image/Messages.h"

namespace filamorph::evaluation {
namespace {

// The message list of the image that the current thread is measuring.
thread_local std::vector<std::string>* messageSink = nullptr;

// Routes the codec's messages to the sink of the thread that shows them while
// it lives; threads without a sink reach the handler that was in place.
class MessageRoute {
 public:
  MessageRoute() {
    previous_ = setMessageHandler([this](const std::string& text) {
      if (messageSink) {
        messageSink->push_back(text);
      } else if (previous_) {
        previous_(text);
      }
    });
  }
  MessageRoute(const MessageRoute&) = delete;
  MessageRoute& operator=(const MessageRoute&) = delete;
  ~MessageRoute() { setMessageHandler(std::move(previous_)); }

 private:
  MessageHandler previous_;
};

}  // namespace

std::vector<ImageEvaluation> evaluateImages(const std::vector<std::string>& paths, const EvaluationSettings& settings,
                                            unsigned jobs, const BatchProgress& progress) {
  std::vector<ImageEvaluation> results(paths.size());
  std::atomic<std::size_t> next{0};
  std::mutex progressMutex;
  std::size_t done = 0;

  auto work = [&] {
    for (std::size_t index = next++; index < paths.size(); index = next++) {
      ImageEvaluation result;
      std::vector<std::string> messages;
      messageSink = &messages;
      result = evaluateImage(paths[index], settings);
      messageSink = nullptr;
      result.messages = std::move(messages);
      results[index] = std::move(result);
      std::lock_guard<std::mutex> lock(progressMutex);
      ++done;
      if (progress) progress(done, paths.size());
    }
  };

  const MessageRoute route;
  const std::size_t workers = std::clamp<std::size_t>(jobs, 1, std::max<std::size_t>(paths.size(), 1));
  std::vector<std::thread> threads;
  threads.reserve(workers);
  for (std::size_t i = 0; i < workers; ++i) threads.emplace_back(work);
  for (std::thread& thread : threads) thread.join();
  return results;
}

}  // namespace filamorph::evaluation
