#include "Application.h"

#include <QApplication>
#include <QFile>
#include <QIcon>

static void InitResources() { Q_INIT_RESOURCE(Fotra); }

QIcon ApplicationIcon()
{
    // The installed theme icon where there is one (the desktop may restyle
    // it); the same pictures from the resources otherwise, so a program run
    // from the build tree or an unusual prefix still has its icon.
    QIcon bundled;
    for (int size : {16, 24, 32, 48, 64, 128, 256})
        bundled.addFile(QStringLiteral(":/fotra/icons/fotra-%1.png").arg(size), QSize(size, size));
    return QIcon::fromTheme(QStringLiteral("fotra"), bundled);
}

void InitApplication(QApplication &app)
{
    InitResources(); // the style lives in a static library
    QApplication::setApplicationName(QStringLiteral("Fotra"));
    QApplication::setApplicationVersion(QStringLiteral("1.4.0"));
    // Ties the window to the installed menu entry (Wayland's app id, and the
    // icon shown by task bars).
    QGuiApplication::setDesktopFileName(QStringLiteral("fotra"));
    QApplication::setWindowIcon(ApplicationIcon());
    QFile style(QStringLiteral(":/fotra/Fotra.qss"));
    if (style.open(QIODevice::ReadOnly))
        app.setStyleSheet(QString::fromUtf8(style.readAll()));
}
