#include "base/Messages.h"

#include <cstdio>
#include <mutex>
#include <utility>

namespace filamorph {
namespace {

std::mutex handlerMutex;

MessageHandler& currentHandler() {
  static MessageHandler handler = [](const std::string& text, MessageSeverity) {
    std::fprintf(stderr, "%s\n", text.c_str());
  };
  return handler;
}

}  // namespace

void showMessage(const std::string& text, MessageSeverity severity) {
  MessageHandler handler;
  {
    std::lock_guard<std::mutex> lock(handlerMutex);
    handler = currentHandler();
  }
  if (handler) handler(text, severity);
}

MessageHandler setMessageHandler(MessageHandler handler) {
  std::lock_guard<std::mutex> lock(handlerMutex);
  return std::exchange(currentHandler(), std::move(handler));
}

}  // namespace filamorph
