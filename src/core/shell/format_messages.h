#pragma once
// The one place where the file formats' errors become the messages the user sees.
#include <string>
#include <string_view>

#include "formats/format_status.h"
#include "shell/host.h"
#include "shell/messages.h"

namespace orvo {

// The first (for most errors the only) message `status` shows; kMsgNone for none.
MessageId FormatErrorMessage(const FormatStatus& status);

// What is wrong with a file, in words, for the line after a refusal's message.
std::string FormatErrorReason(const FormatStatus& status);

// Shows the messages of `status` under the caption its kind of file uses, nothing when it is Ok;
// the first names `file` (when given) and what is wrong with it. A TapeUnsupported tape is told
// that it plays up to that block. A tape that ran out of memory shows "Out of memory", then the
// failure of the block it was reading.
void ShowFormatError(Host& host, const FormatStatus& status, std::string_view file = {});

// An RZX recording that cannot be read, under "Orvo RZX", with the file and the reason.
void ShowRzxUnreadable(Host& host, const FormatStatus& status, std::string_view file);

// "Tape Error: Failed at <kind>" for a block ID of a known kind, kMsgNone otherwise.
MessageId TapeBlockFailureMessage(uint8_t id);

}  // namespace orvo
