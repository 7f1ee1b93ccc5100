#pragma once

// Program-wide flags shared by the retrieval commands and the range dialog. They live as long as
// the program and are used on the user-interface thread only.

// True only while the range dialog's last showing accepted a range.
inline bool RangeAccepted = false;
// When true the running retrieval ends without its "Done." box.
inline bool SkipDoneMessage = false;
