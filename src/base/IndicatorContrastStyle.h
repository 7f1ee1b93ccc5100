#pragma once

#include <QProxyStyle>

// The application's style with check box and option button indicators that stay readable under
// a dark palette. Some styles draw an unchecked indicator's frame a shade darker than the window
// and a selected option's dot in a dim grey: on a dark window both all but vanish. Where the
// background is dark, the frame is drawn again in the text colour, and a selected option's dot
// in the highlight colour, so that each stands out at least 3:1 from what lies behind it.
class IndicatorContrastStyle : public QProxyStyle {
    Q_OBJECT
public:
    using QProxyStyle::QProxyStyle;

    void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                       const QWidget* widget = nullptr) const override;

    // Puts the style under the application once, over a fresh copy of the style it has.
    static void install();
};
