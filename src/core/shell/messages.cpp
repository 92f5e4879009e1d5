// Placeholder table until the full one lands.
#include "shell/messages.h"

#include <cstdio>

namespace orvo {
const char* MessageText(MessageId id) {
  switch (id) {
    case 2: return "ROM missing";
    case 3: return "ROM file incorrect length";
    default: return "";
  }
}
const char* CaptionText(CaptionId id) { return id == CaptionId::Error ? "Orvo Error" : ""; }
std::string FormatMessage(MessageId id, std::string_view detail) {
  char prefix[8];
  std::snprintf(prefix, sizeof prefix, "%02X - ", id);
  std::string text = std::string(prefix) + MessageText(id);
  if (id == 2) text += "\n\n" + std::string(detail);
  return text;
}
}  // namespace orvo
