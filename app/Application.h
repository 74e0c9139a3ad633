#pragma once
class QApplication;

// What the program entry sets on the application before the window is made:
// its name (the title the quit action shows) and the window's style.
void InitApplication(QApplication &app);
