#pragma once

namespace LocalTimeZone {

// Keeps the C library from looking up the system's time-zone file again on every local-time
// conversion (it does so while TZ is unset), which the listing makes several times per message.
// Names the same zone, so every time shown stays the same. Call before any thread starts.
void settle();

} // namespace LocalTimeZone
