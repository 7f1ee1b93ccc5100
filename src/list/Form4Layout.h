#pragma once

#include "list/MessageListModel.h"

#include <QRect>

#include <array>

// Where the larger view's controls go for a window of outer width w and height h, all in twips.
// Only the list stretches; the block of counters and buttons keeps its design widths, stays
// centred 45 twips left of the window's centre and keeps its distance from the bottom edge.
struct Form4Layout {
    QRect ListView1;
    std::array<int, MessageListModel::columns> columnWidths{};
    QRect Label1;
    QRect Label2;
    QRect PushButton5;  // "Check All"
    QRect PushButton6;  // "Uncheck All"
    QRect PushButton9;  // "Check Emails Containing..."
    QRect PushButton10; // "Check Emails Not Containing..."
    QRect PushButton7;  // "Clear List"
    QRect PushButton4;  // "< Back"

    static Form4Layout compute(double w, double h);

    // The design: a client area of 8040 x 4500 twips inside a frame that adds 90 x 455.
    static constexpr int designClientWidth = 8040;
    static constexpr int designClientHeight = 4500;
    static constexpr int frameWidth = 90;
    static constexpr int frameHeight = 455;
};
