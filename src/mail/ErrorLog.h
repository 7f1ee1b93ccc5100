#pragma once

#include <QString>

// errorlog.txt: two lines appended per fetched message, the local date and time with the mail
// component's last-error text, then a line of 52 asterisks; CR LF line ends, the locale's encoding.
// It lives in the program's folder when that folder is writable, otherwise in the per-user data
// folder. A file that cannot be opened or written throws Failure with the system's text.
namespace ErrorLog {

void append(const QString& lastErrorText);
QString filePath();
// Puts the log into another folder (tests); "" restores the normal choice.
void setFolder(const QString& folder);

// While one lives (a listing, which appends once per message), the log stays open after an
// append and the next appends only write to it. A log that cannot be opened, or fails a write,
// is opened again by the next append, and fails as usual.
class KeptOpen {
public:
    KeptOpen();
    ~KeptOpen();
    KeptOpen(const KeptOpen&) = delete;
    KeptOpen& operator=(const KeptOpen&) = delete;
};

} // namespace ErrorLog
