#ifndef FILAMORPH_BASE_MESSAGES_H
#define FILAMORPH_BASE_MESSAGES_H
// The single route by which the codec shows a modal message to the user.

#include <functional>
#include <string>

namespace filamorph {

// The codec's two fixed message texts.
inline constexpr const char* kUnsupportedPixelFormat = "Does not support this Pixel Format.";
inline constexpr const char* kEndOfFile = "End of the file";

// What a message tells: a refusal or a cut-short file warns; anything else
// informs. The window picks the box's icon by it.
enum class MessageSeverity { Information, Warning };

using MessageHandler = std::function<void(const std::string& text, MessageSeverity severity)>;

// Shows text the way the running program shows messages: a message box in the
// window, a line on stderr on the command line. The call returns once the user
// has dismissed the message.
void showMessage(const std::string& text, MessageSeverity severity);

// Replaces the handler and returns the previous one. Tests install a handler
// that records the texts, so that no modal box ever blocks them.
MessageHandler setMessageHandler(MessageHandler handler);

}  // namespace filamorph

#endif  // FILAMORPH_BASE_MESSAGES_H
