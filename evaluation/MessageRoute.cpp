#include "evaluation/MessageRoute.h"

#include <memory>
#include <utility>

namespace filamorph::evaluation {
namespace {

thread_local std::vector<std::string>* threadSink = nullptr;

}  // namespace

MessageRoute::MessageRoute() {
  // The previous handler is shared with the new one before the new one can run.
  auto previous = std::make_shared<MessageHandler>();
  *previous = setMessageHandler([previous](const std::string& text, MessageSeverity severity) {
    if (threadSink) {
      threadSink->push_back(text);
    } else if (*previous) {
      (*previous)(text, severity);
    }
  });
  previous_ = *previous;
}

MessageRoute::~MessageRoute() { setMessageHandler(std::move(previous_)); }

CollectedMessages::CollectedMessages(std::vector<std::string>& sink) : outer_(std::exchange(threadSink, &sink)) {}

CollectedMessages::~CollectedMessages() { threadSink = outer_; }

}  // namespace filamorph::evaluation
