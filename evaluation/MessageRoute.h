#ifndef FILAMORPH_EVALUATION_MESSAGEROUTE_H
#define FILAMORPH_EVALUATION_MESSAGEROUTE_H
// The codec's messages collected per worker thread instead of interleaved on the terminal.

#include <string>
#include <vector>

#include "base/Messages.h"

namespace filamorph::evaluation {

// While a route lives, a message shown on a thread that collects (see
// CollectedMessages) goes into that thread's list; messages of other
// threads reach the handler that was in place. Install it before the worker
// threads start and let it go after they have ended.
class MessageRoute {
 public:
  MessageRoute();
  MessageRoute(const MessageRoute&) = delete;
  MessageRoute& operator=(const MessageRoute&) = delete;
  ~MessageRoute();

 private:
  MessageHandler previous_;
};

// Collects the messages this thread shows while it lives, when a route is
// installed; without one, messages go to the handler as usual.
class CollectedMessages {
 public:
  explicit CollectedMessages(std::vector<std::string>& sink);
  CollectedMessages(const CollectedMessages&) = delete;
  CollectedMessages& operator=(const CollectedMessages&) = delete;
  ~CollectedMessages();

 private:
  std::vector<std::string>* outer_;
};

}  // namespace filamorph::evaluation

#endif  // FILAMORPH_EVALUATION_MESSAGEROUTE_H
