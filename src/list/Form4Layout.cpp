#include "list/Form4Layout.h"

#include "base/Conversions.h"

namespace {

constexpr int listLeft = 120;
constexpr int listTop = 135;
constexpr int halfWidth = 3840;
constexpr int fullWidth = 7800;
constexpr int labelHeight = 255;
constexpr int buttonHeight = 405;
constexpr int columnGap = 120;

} // namespace

Form4Layout Form4Layout::compute(double w, double h) {
    Form4Layout layout;
    // The list's width is set, then read back whole for the column widths.
    const int listWidth = Conversions::roundToInt32(w - 330);
    layout.ListView1 = QRect(listLeft, listTop, listWidth, Conversions::roundToInt32(h - 3100));
    layout.columnWidths[0] = listWidth / 6;
    // Columns 2 to 5 share the divisor 4.875, rounded to 5.
    const int divisor = Conversions::roundToInt32(4.875);
    for (int c = 1; c <= 4; ++c)
        layout.columnWidths[static_cast<std::size_t>(c)] = listWidth / divisor;
    layout.columnWidths[5] = 0;

    const int labelTop = Conversions::roundToInt32(h - 2865);
    const int firstRowTop = Conversions::roundToInt32(h - 2505);
    const int secondRowTop = Conversions::roundToInt32(h - 1995);
    const int clearTop = Conversions::roundToInt32(h - 1485);
    const int backTop = Conversions::roundToInt32(h - 975);

    const int left = Conversions::roundToInt32(w) / 2 - fullWidth / 2 - 45;
    const int rightColumn = halfWidth + left + columnGap;

    layout.PushButton7 = QRect(left, clearTop, fullWidth, buttonHeight);
    layout.PushButton4 = QRect(left, backTop, fullWidth, buttonHeight);
    layout.Label1 = QRect(left, labelTop, halfWidth, labelHeight);
    layout.Label2 = QRect(rightColumn, labelTop, halfWidth, labelHeight);
    layout.PushButton5 = QRect(left, firstRowTop, halfWidth, buttonHeight);
    layout.PushButton6 = QRect(rightColumn, firstRowTop, halfWidth, buttonHeight);
    layout.PushButton9 = QRect(left, secondRowTop, halfWidth, buttonHeight);
    layout.PushButton10 = QRect(rightColumn, secondRowTop, halfWidth, buttonHeight);
    return layout;
}
