#pragma once

#include <QByteArrayView>
#include <QString>

// Text forms of the e-mail object's bodies. Both are safe to call on any thread.

// The same text with every line break (CR LF, a bare LF or a bare CR) written as CR LF.
QString withCrLf(const QString& text);
// True when every line break of the text, in UTF-8 or any charset that writes CR and LF as
// single bytes of their own, is already a CR LF pair: withCrLf would leave it as it is.
bool breaksAreCrLf(QByteArrayView text);

// A readable plain-text rendering of an HTML text: markup, styles and scripts dropped, entities
// resolved, breaks, paragraphs, list items and table cells on lines of their own, lines separated
// by LF. Takes time linear in the length of the text, however the elements nest (HtmlToText.cpp).
QString htmlToPlainText(const QString& html);
