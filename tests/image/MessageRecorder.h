#ifndef FILAMORPH_TESTS_IMAGE_MESSAGERECORDER_H
#define FILAMORPH_TESTS_IMAGE_MESSAGERECORDER_H
// Collects the user messages shown while it lives, instead of showing them.

#include <string>
#include <vector>

#include "base/Messages.h"

namespace filamorph::testing {

class MessageRecorder {
 public:
  MessageRecorder() : previous_(setMessageHandler([this](const std::string& text, MessageSeverity) { texts.push_back(text); })) {}
  MessageRecorder(const MessageRecorder&) = delete;
  MessageRecorder& operator=(const MessageRecorder&) = delete;
  ~MessageRecorder() { setMessageHandler(previous_); }

  std::vector<std::string> texts;

 private:
  MessageHandler previous_;
};

}  // namespace filamorph::testing

#endif  // FILAMORPH_TESTS_IMAGE_MESSAGERECORDER_H
