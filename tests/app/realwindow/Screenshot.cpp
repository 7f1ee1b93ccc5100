#include "Screenshot.h"

#include <QDir>
#include <QPixmap>
#include <QScreen>
#include <QSet>
#include <QTest>
#include <QWidget>

namespace Screenshot {

QImage save(const QString& folder, const QString& name, const QList<QWidget*>& windows) {
    if (windows.isEmpty())
        return {};
    // Lets delayed layouts (a list view lays out its rows from the event loop) and paints run.
    QTest::qWait(100);
    QRect area;
    for (QWidget* window : windows) {
        window->repaint();
        area = area.united(window->frameGeometry());
    }
    QScreen* screen = windows.first()->screen();
    const QImage image =
        screen->grabWindow(0, area.x(), area.y(), area.width(), area.height()).toImage();
    if (image.isNull() || !image.save(QDir(folder).filePath(name)))
        return {};
    return image;
}

int colourCount(const QImage& image) {
    QSet<QRgb> colours;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            colours.insert(image.pixel(x, y));
    return static_cast<int>(colours.size());
}

} // namespace Screenshot
