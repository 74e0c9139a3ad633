#include "Application.h"

#include <QApplication>
#include <QFile>

static void InitResources() { Q_INIT_RESOURCE(Fotra); }

void InitApplication(QApplication &app)
{
    InitResources(); // the style lives in a static library
    QApplication::setApplicationName(QStringLiteral("Fotra"));
    QApplication::setApplicationVersion(QStringLiteral("1.4.0"));
    QFile style(QStringLiteral(":/fotra/Fotra.qss"));
    if (style.open(QIODevice::ReadOnly))
        app.setStyleSheet(QString::fromUtf8(style.readAll()));
}
