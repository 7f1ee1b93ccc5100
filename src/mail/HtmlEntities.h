#pragma once

#include <QStringView>

#include <optional>

// The code point of a named character reference of HTML ("amp" gives U+0026), the names of
// HTML 4 and "apos"; nothing for a name it does not know. Case matters, as in HTML.
std::optional<char32_t> htmlEntity(QStringView name);
