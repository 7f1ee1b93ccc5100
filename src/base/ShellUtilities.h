#pragma once

#include <QSize>
#include <QStandardPaths>
#include <QString>

class QLineEdit;
class QRect;
class QWidget;

// Small services the windows share: folders, files, window placement and colours.

// The folder of the program's executable, where its optional files live. Tests may point it
// elsewhere.
QString ProgramFolder();
void SetProgramFolder(const QString& folder);

// The platform's folder browser, owned by owner and opened at the nearest existing folder of
// currentFolder (see BrowsingStartFolder); the chosen folder in the platform's own form with no
// separator appended, or "" when the user cancels.
QString BrowseForFolder(QWidget* owner, const QString& title, const QString& currentFolder = {});

// Where the folder browser opens for currentFolder: that folder when it exists, otherwise its
// nearest existing parent, otherwise (an empty or relative text, a parent that is only the root)
// the home folder.
QString BrowsingStartFolder(const QString& currentFolder);

// The path of a special folder, or "" when there is none.
QString SpecialFolderPath(QStandardPaths::StandardLocation folder);

// The desktop folder followed by the platform's separator; throws Failure when the desktop
// cannot be found.
QString DesktopPathWithSeparator();

// True when the modification time of path can be read (folders count); false on any failure.
bool FileExists(const QString& path);

// Sets a text box's text and shows it from its first character, as a text box does when its text
// is assigned (Qt would leave the caret at the end, scrolling a long text's start out of view).
void SetBoxText(QLineEdit* box, const QString& text);

// Places window in the middle of the available area of its screen (without panels and docks),
// first shrinking it to that area when it is larger, down to its minimum size.
void CentreWindow(QWidget* window);

// Shrinks window to fit area with its frame, down to its minimum size, and moves it so that its
// frame lies inside area, the title bar first when it cannot fit whole. Until a window manager
// has framed the window its frame is not known: a usual title bar is assumed then, and the window
// is fitted again once the frame is known (FrameKnown).
// wanted, when given, is the size the window would take were there room (otherwise its size).
void FitToArea(QWidget* window, const QRect& area, const QSize& wanted = {});
// Whether the window manager's frame around window is known (it has a size of its own).
bool FrameKnown(const QWidget* window);

// The colour of the face of buttons, given to secondary windows and their option buttons, check
// boxes, frames and labels.
void ApplyDialogColours(QWidget* window);

// The skin file below the program's folder.
QString SkinFilePath();

// When the skin file exists: gives the main window and its option buttons, check boxes, frames
// and labels the button-face colour, then applies the style sheet read from the file. Without the
// file nothing changes.
void ApplyMainSkin(QWidget* window);
