#pragma once
class QApplication;
class QIcon;

// What the program entry sets on the application before the window is made:
// its name (the title the quit action shows), its icon and the window's style.
void InitApplication(QApplication &app);

// The icon of the program and its window.
QIcon ApplicationIcon();
