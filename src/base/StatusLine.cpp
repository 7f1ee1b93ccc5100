#include "base/StatusLine.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QEvent>
#include <QStyleOptionProgressBar>
#include <QStylePainter>

namespace {

constexpr qint64 announceInterval = 500;
constexpr int textMargin = 3;

class StatusLineAccessible : public QAccessibleWidget {
public:
    explicit StatusLineAccessible(StatusLine* line)
        : QAccessibleWidget(line, QAccessible::StatusBar) {}

    QString text(QAccessible::Text kind) const override {
        const auto* line = static_cast<const StatusLine*>(widget());
        if (kind == QAccessible::Name || kind == QAccessible::Value) {
            if (!line->statusText().isEmpty())
                return line->statusText();
            return line->accessibleName();
        }
        return QAccessibleWidget::text(kind);
    }
};

QAccessibleInterface* statusLineFactory(const QString& className, QObject* object) {
    if (className == QLatin1String("StatusLine") && object && object->isWidgetType())
        return new StatusLineAccessible(static_cast<StatusLine*>(object));
    return nullptr;
}

} // namespace

StatusLine::StatusLine(QWidget* parent) : QProgressBar(parent) {
    static const bool installed = [] {
        QAccessible::installFactory(statusLineFactory);
        return true;
    }();
    Q_UNUSED(installed);
    setFormat(QString());
    pending_.setSingleShot(true);
    connect(&pending_, &QTimer::timeout, this, &StatusLine::announce);
}

void StatusLine::setStatusText(const QString& text, Pace pace) {
    QString format = text;
    format.replace(QLatin1Char('%'), QStringLiteral("%%"));
    setFormat(format);
    if (text == text_)
        return;
    if (!heightStale_)
        heightShown_ = heightForWidth(width()); // measured already
    text_ = text;
    measuredWidth_ = -1;
    heightStale_ = true;
    update();
    if (pace == Pace::AtOnce) {
        pending_.stop();
        announce();
        return;
    }
    const qint64 wait =
        sinceAnnounced_.isValid() ? announceInterval - sinceAnnounced_.elapsed() : 0;
    if (wait <= 0)
        announce();
    else if (!pending_.isActive())
        pending_.start(int(wait));
}

void StatusLine::announce() {
    sinceAnnounced_.start();
    if (heightStale_) {
        heightStale_ = false;
        if (heightForWidth(width()) != heightShown_)
            updateGeometry();
    }
    if (text_ == announced_)
        return;
    announced_ = text_;
    QAccessibleEvent changed(this, QAccessible::NameChanged);
    QAccessible::updateAccessibility(&changed);
}

QRect StatusLine::textRect(int width) const {
    return QRect(0, 0, width, 1 << 16).adjusted(textMargin, 0, -textMargin, 0);
}

int StatusLine::oneLineHeight() const {
    return qMax(QProgressBar::sizeHint().height(), fontMetrics().height() + 2 * textMargin);
}

int StatusLine::heightForWidth(int width) const {
    if (width == measuredWidth_)
        return measuredHeight_;
    const QRect needed =
        fontMetrics().boundingRect(textRect(width), Qt::AlignCenter | Qt::TextWordWrap, text_);
    measuredWidth_ = width;
    measuredHeight_ = qMax(oneLineHeight(), needed.height() + 2 * textMargin);
    return measuredHeight_;
}

void StatusLine::changeEvent(QEvent* event) {
    if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange)
        measuredWidth_ = -1;
    QProgressBar::changeEvent(event);
}

// QProgressBar's own hints call each other; these are made from its size hint alone.
QSize StatusLine::minimumSizeHint() const {
    return {QProgressBar::sizeHint().width(), oneLineHeight()};
}

QSize StatusLine::sizeHint() const {
    const int hinted = QProgressBar::sizeHint().width();
    return {hinted, heightForWidth(qMax(width(), hinted))};
}

// The bar as the style draws it, without its own one-line text, then the text, wrapped when it
// needs two lines.
void StatusLine::paintEvent(QPaintEvent*) {
    QStylePainter painter(this);
    QStyleOptionProgressBar bar;
    initStyleOption(&bar);
    bar.textVisible = false;
    painter.drawControl(QStyle::CE_ProgressBar, bar);
    painter.setPen(palette().color(QPalette::WindowText));
    painter.drawText(rect().adjusted(textMargin, 0, -textMargin, 0),
                     Qt::AlignCenter | Qt::TextWordWrap, text_);
}
