// Program entry.
#include "Application.h"
#include "Unit1.h"

#include <QApplication>
#include <QThreadPool>

#include <cstdio>
#include <cstdlib>
#include <memory>

namespace {

// Qt alone only says "could not connect to display" and aborts.
bool NoDisplay()
{
    const QByteArray platformName = qgetenv("QT_QPA_PLATFORM");
    if (!platformName.isEmpty() && !platformName.startsWith("xcb") && !platformName.startsWith("wayland"))
        return false;
    if (platformName.startsWith("wayland"))
        return qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
    if (platformName.startsWith("xcb"))
        return qEnvironmentVariableIsEmpty("DISPLAY");
    return qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
}

} // namespace

int main(int argc, char *argv[])
{
    if (NoDisplay()) {
        std::fprintf(stderr,
                     "Fotra: no display found (neither DISPLAY nor WAYLAND_DISPLAY is set).\n"
                     "Start it from a desktop session, or under a virtual display:\n"
                     "  xvfb-run -a %s\n",
                     argv[0]);
        return 2;
    }
    QApplication app(argc, argv);
    InitApplication(app);
    int rc = 0;
    {
        auto Form1 = std::make_unique<TForm1>();
        Form1->show();
        rc = app.exec();
    }
    // The window is gone and its loads cancelled; let their threads finish
    // before the application object goes away.
    QThreadPool::globalInstance()->waitForDone();
    return rc;
}
