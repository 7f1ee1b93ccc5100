#pragma once

#include <QString>

// Text forms of the e-mail object's bodies. Both are safe to call on any thread.

// The same text with every line break (CR LF, a bare LF or a bare CR) written as CR LF.
QString withCrLf(const QString& text);

// A readable plain-text rendering of an HTML text: markup, styles and scripts dropped, entities
// resolved, breaks, paragraphs, list items and table cells on lines of their own, lines separated
// by CR LF. Takes time linear in the length of the text, however the elements nest
// (HtmlToText.cpp).
QString htmlToPlainText(const QString& html);
