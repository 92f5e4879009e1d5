#pragma once
// The one place where the file formats' errors become the messages the user sees.
#include "formats/format_status.h"
#include "shell/host.h"
#include "shell/messages.h"

namespace orvo {

// The first (for most errors the only) message `status` shows; kMsgNone for none.
MessageId FormatErrorMessage(const FormatStatus& status);

// Shows the messages of `status` under the caption its kind of file uses; nothing when it is Ok
// or TapeUnsupported (the deck plays up to such a block without complaint). A tape that ran out
// of memory shows "Out of memory", then the failure of the block it was reading.
void ShowFormatError(Host& host, const FormatStatus& status);

// "Tape Error: Failed at <kind>" for a block ID of a known kind, kMsgNone otherwise.
MessageId TapeBlockFailureMessage(uint8_t id);

}  // namespace orvo
