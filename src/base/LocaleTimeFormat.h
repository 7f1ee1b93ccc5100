#pragma once

#include <QString>

// A locale's long time format, as Qt gives it from the locale data, made fit for a date text
// that is shown, searched and read back: the time-zone field goes together with the brackets
// around it and the separator before it; pattern letters Qt does not know are replaced by their
// nearest Qt form (a day period by AM/PM where the hour counts to 12, K and k by h and H) or
// removed, so that none is printed as a literal letter. Quoted literal text stays.
QString timeFormatWithoutZone(const QString& format);
