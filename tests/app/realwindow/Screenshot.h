#pragma once

#include <QImage>
#include <QList>
#include <QString>

class QWidget;

// Screenshots of real windows as the X server shows them.
namespace Screenshot {

// Repaints the windows, grabs the screen rectangle around them (so a box over its window is in
// the picture too) and saves it as the PNG file name in folder. Returns the image, or a null
// image when grabbing or saving failed.
QImage save(const QString& folder, const QString& name, const QList<QWidget*>& windows);

// The number of different colours in an image: a blank or black grab has one or two.
int colourCount(const QImage& image);

} // namespace Screenshot
