#pragma once

#include <optional>

#include "clipboard/ClipboardPayload.h"

namespace clipwren {

class Pasteboard;

// The clipboard's content now: the first file (1 to maxBytes bytes), else PNG data as stored,
// else TIFF data converted to PNG, else non-empty text. Each source that cannot be used
// falls through to the next; nothing when none yields.
std::optional<ClipboardPayload> clipboardPayload(const Pasteboard& pasteboard);

}  // namespace clipwren
