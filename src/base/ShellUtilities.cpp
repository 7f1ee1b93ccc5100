#include "base/ShellUtilities.h"

#include "base/Failure.h"
#include "base/Prompter.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFontMetrics>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QScreen>
#include <QStyle>
#include <QWidget>

#include <algorithm>

namespace {

QString& programFolderOverride() {
    static QString folder;
    return folder;
}

void paintButtonFace(QWidget* widget, const QColor& face) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Window, face);
    widget->setPalette(palette);
    widget->setAutoFillBackground(true);
}

// The window itself, then every option button, check box, frame and label on it.
void paintWithButtonFace(QWidget* window) {
    const QColor face = window->palette().color(QPalette::Button);
    paintButtonFace(window, face);
    const auto children = window->findChildren<QWidget*>();
    for (QWidget* child : children) {
        if (qobject_cast<QRadioButton*>(child) || qobject_cast<QCheckBox*>(child) ||
            qobject_cast<QGroupBox*>(child) || qobject_cast<QLabel*>(child))
            paintButtonFace(child, face);
    }
}

} // namespace

QString ProgramFolder() {
    const QString& folder = programFolderOverride();
    return folder.isEmpty() ? QCoreApplication::applicationDirPath() : folder;
}

void SetProgramFolder(const QString& folder) {
    programFolderOverride() = folder;
}

QString BrowseForFolder(QWidget* owner, const QString& title, const QString& currentFolder) {
    const QString chosen =
        Prompter::current().browseForFolder(owner, title, BrowsingStartFolder(currentFolder));
    return chosen.isEmpty() ? QString() : QDir::toNativeSeparators(chosen);
}

QString BrowsingStartFolder(const QString& currentFolder) {
    const QString path = QDir::fromNativeSeparators(currentFolder.trimmed());
    if (!path.isEmpty() && QDir::isAbsolutePath(path)) {
        QString folder = QDir::cleanPath(path);
        while (!QFileInfo(folder).isDir()) {
            const QString parent = QFileInfo(folder).path();
            if (parent == folder)
                break;
            folder = parent;
        }
        if (QFileInfo(folder).isDir() && !QDir(folder).isRoot())
            return folder;
    }
    return QDir::homePath();
}

QString SpecialFolderPath(QStandardPaths::StandardLocation folder) {
    return QDir::toNativeSeparators(QStandardPaths::writableLocation(folder));
}

QString DesktopPathWithSeparator() {
    const QString desktop = SpecialFolderPath(QStandardPaths::DesktopLocation);
    if (desktop.isEmpty())
        throw Failure(QStringLiteral("The desktop folder could not be found."));
    return desktop + QDir::separator();
}

bool FileExists(const QString& path) {
    if (path.isEmpty())
        return false;
    const QFileInfo info(path);
    return info.exists() && info.lastModified().isValid();
}

void SetBoxText(QLineEdit* box, const QString& text) {
    box->setText(text);
    box->setCursorPosition(0);
}

void CentreWindow(QWidget* window) {
    const QScreen* screen = window->screen();
    if (!screen)
        return;
    const QRect area = screen->availableGeometry();
    FitToArea(window, area);
    const QSize size = window->frameGeometry().size();
    const double left = area.x() + (area.width() - size.width()) / 2.0;
    const double top = area.y() + (area.height() - size.height()) / 2.0;
    // A window larger than the area keeps its title bar and left edge inside it.
    window->move(std::max(area.x(), static_cast<int>(left)),
                 std::max(area.y(), static_cast<int>(top)));
}

bool FrameKnown(const QWidget* window) {
    return window->frameGeometry().size() != window->geometry().size();
}

namespace {

// What a window manager adds around a window, as far as it is known: before the window is framed,
// a usual title bar on a platform with windows of its own.
QSize decorationOf(const QWidget* window) {
    if (FrameKnown(window))
        return window->frameGeometry().size() - window->geometry().size();
    const QString platform = QGuiApplication::platformName();
    if (platform == QLatin1String("offscreen") || platform == QLatin1String("minimal"))
        return {0, 0};
    const int titleBar = qMax(window->style()->pixelMetric(QStyle::PM_TitleBarHeight),
                              QFontMetrics(window->font()).height() * 2);
    return {0, titleBar};
}

} // namespace

void FitToArea(QWidget* window, const QRect& area, const QSize& wanted) {
    const QSize decoration = decorationOf(window);
    const QSize room = area.size() - decoration;
    const QSize fitted = (wanted.isValid() ? wanted : window->size())
                             .boundedTo(room)
                             .expandedTo(window->minimumSize());
    if (fitted != window->size())
        window->resize(fitted);
    // Moved back inside where the area allows; a window wider than the area keeps its left edge.
    QRect placed(window->frameGeometry().topLeft(), window->size() + decoration);
    if (placed.right() > area.right())
        placed.moveRight(area.right());
    if (placed.bottom() > area.bottom())
        placed.moveBottom(area.bottom());
    if (placed.left() < area.left())
        placed.moveLeft(area.left());
    if (placed.top() < area.top())
        placed.moveTop(area.top());
    if (placed.topLeft() != window->frameGeometry().topLeft())
        window->move(placed.topLeft()); // a window's position is its frame's
}

void ApplyDialogColours(QWidget* window) {
    paintWithButtonFace(window);
}

QString SkinFilePath() {
    return QDir::toNativeSeparators(ProgramFolder() + QStringLiteral("/x/o.cjs"));
}

void ApplyMainSkin(QWidget* window) {
    QFile skin(SkinFilePath());
    if (!skin.exists())
        return;
    paintWithButtonFace(window);
    if (skin.open(QIODevice::ReadOnly | QIODevice::Text))
        window->setStyleSheet(QString::fromUtf8(skin.readAll()));
}
