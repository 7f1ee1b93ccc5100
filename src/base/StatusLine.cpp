#include "base/StatusLine.h"

#include <QAccessible>
#include <QAccessibleWidget>

namespace {

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
}

void StatusLine::setStatusText(const QString& text) {
    QString format = text;
    format.replace(QLatin1Char('%'), QStringLiteral("%%"));
    setFormat(format);
    if (text == text_)
        return;
    text_ = text;
    QAccessibleEvent changed(this, QAccessible::NameChanged);
    QAccessible::updateAccessibility(&changed);
}
