#include "base/IndicatorContrastStyle.h"

#include <QApplication>
#include <QPainter>
#include <QStyleFactory>
#include <QStyleOption>

namespace {

bool dark(const QColor& colour) {
    return colour.lightnessF() < 0.5;
}

} // namespace

void IndicatorContrastStyle::drawPrimitive(PrimitiveElement element, const QStyleOption* option,
                                           QPainter* painter, const QWidget* widget) const {
    QProxyStyle::drawPrimitive(element, option, painter, widget);
    const bool checkBox =
        element == PE_IndicatorCheckBox || element == PE_IndicatorItemViewItemCheck;
    const bool radio = element == PE_IndicatorRadioButton;
    if ((!checkBox && !radio) || !dark(option->palette.color(QPalette::Base)))
        return;
    const bool enabled = option->state & State_Enabled;
    QColor frame = option->palette.color(QPalette::Text);
    if (!enabled)
        frame.setAlphaF(0.6);
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing, true);
    painter->setBrush(Qt::NoBrush);
    painter->setPen(QPen(frame, 1.0));
    const QRectF box = QRectF(option->rect).adjusted(1.5, 1.5, -1.5, -1.5);
    if (checkBox) {
        painter->drawRoundedRect(box, 1.5, 1.5);
    } else {
        painter->drawEllipse(box);
        if (option->state & State_On) {
            painter->setPen(Qt::NoPen);
            painter->setBrush(
                option->palette.color(enabled ? QPalette::Highlight : QPalette::Text));
            const qreal inset = box.width() / 4;
            painter->drawEllipse(box.adjusted(inset, inset, -inset, -inset));
        }
    }
    painter->restore();
}

void IndicatorContrastStyle::install() {
    if (qobject_cast<IndicatorContrastStyle*>(QApplication::style()))
        return;
    QStyle* base = QStyleFactory::create(QApplication::style()->name());
    QApplication::setStyle(new IndicatorContrastStyle(base));
}
