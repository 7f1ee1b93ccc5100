#pragma once

class QPushButton;

// The two retrieval buttons of the main window: at rest "2a. Get All Emails" and "2b. Get Some
// Emails" side by side; while a run is in progress one wide "Stop" button.
namespace RetrievalButtons {

inline constexpr auto stopCaption = "Stop";

void showRunning(QPushButton* getAll, QPushButton* getSome);
void showIdle(QPushButton* getAll, QPushButton* getSome);
bool isRunning(const QPushButton* getAll);

} // namespace RetrievalButtons
