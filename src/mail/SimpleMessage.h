#pragma once

#include <QByteArrayView>

#include <optional>

// A message of the commonest shape, read without building it as a MIME tree: one text/plain or
// text/html body, no transfer encoding to undo, plain ASCII header fields of the usual form. Every
// value is a view into the message: a header's raw value is what follows its colon, through its
// last line break, as GMime gives it.
struct SimpleMessage {
    std::optional<QByteArrayView> from; // the first of each, absent when there is none
    std::optional<QByteArrayView> subject;
    std::optional<QByteArrayView> date;
    std::optional<QByteArrayView> messageId; // the only one
    std::optional<QByteArrayView> charset;   // the Content-Type's parameter, without its quotes
    bool html = false;                       // text/html rather than text/plain
    QByteArrayView body;                     // from after the empty line to the end
};

// The message read that way, or nothing when it has any other shape or anything unusual that
// the full MIME reading might read otherwise (a field it could take another way, 8-bit or
// control bytes in the header block, an encoded word where it would decode it, a repeated field
// whose repetition matters, an mbox "From " line, no empty line after the header block).
std::optional<SimpleMessage> readSimpleMessage(QByteArrayView message);
