#include "TestSupport.h"

#include "Application.h"
#include "Thumbnails.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPainter>
#include <QThreadPool>

#include <filesystem>

namespace testing {

TempHome::TempHome() : FOldHome(qgetenv("HOME")), FOldConfig(qgetenv("XDG_CONFIG_HOME"))
{
    const QString r = root();
    for (const char *d : {"Pictures", "Desktop", "Documents", "Downloads", ".config"})
        QDir(r).mkpath(d);
    QFile dirs(r + "/.config/user-dirs.dirs");
    if (dirs.open(QIODevice::WriteOnly)) {
        dirs.write("XDG_DESKTOP_DIR=\"$HOME/Desktop\"\n"
                   "XDG_DOCUMENTS_DIR=\"$HOME/Documents\"\n"
                   "XDG_DOWNLOAD_DIR=\"$HOME/Downloads\"\n"
                   "XDG_PICTURES_DIR=\"$HOME/Pictures\"\n");
    }
    qputenv("HOME", QFile::encodeName(r));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(r + "/.config"));
}

TempHome::~TempHome()
{
    qputenv("HOME", FOldHome);
    qputenv("XDG_CONFIG_HOME", FOldConfig);
    // QTemporaryDir removes through QDir, which skips names that are not UTF-8.
    std::error_code ec;
    std::filesystem::remove_all(std::filesystem::path(QFile::encodeName(root()).toStdString()), ec);
}

bool makeFolder(const QString &path) { return QDir().mkpath(path); }

QImage cornerPattern(int w, int h, QColor color, QImage::Format format)
{
    QImage image(w, h, format);
    image.fill(color);
    QPainter p(&image);
    // Corners in distinct colours, so a wrong orientation or crop shows.
    const int cw = qMax(1, w / 4), ch = qMax(1, h / 4);
    p.fillRect(0, 0, cw, ch, Qt::red);
    p.fillRect(w - cw, 0, cw, ch, Qt::green);
    p.fillRect(0, h - ch, cw, ch, Qt::blue);
    p.fillRect(w - cw, h - ch, cw, ch, Qt::yellow);
    return image;
}

bool makePicture(const QString &path, int w, int h, const char *format, QColor color)
{
    const QImage image = cornerPattern(w, h, color);
    QDir().mkpath(QFileInfo(path).path());
    return image.save(path, format);
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

MessageCapture::MessageCapture()
{
    FPrevious = platform::setMessageSink([this](QWidget *, platform::MessageKind kind, const QString &title,
                                                const QString &text) { messages.append({kind, title, text}); });
}

MessageCapture::~MessageCapture() { platform::setMessageSink(FPrevious); }

bool waitForLoad(TThumbnails *view, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    while (view->IsLoading()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QTest::qSleep(1);
    }
    QCoreApplication::processEvents();
    return true;
}

namespace {
std::unique_ptr<QTemporaryDir> runtimeDir;
}

void prepareTestEnvironment()
{
    // QTemporaryDir makes its folder with mode 0700, as Qt wants it.
    runtimeDir = std::make_unique<QTemporaryDir>(QDir::tempPath() + "/fotra-runtime-XXXXXX");
    if (runtimeDir->isValid())
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtimeDir->path()));
}

void initTestApplication(QApplication &app)
{
    if (!runtimeDir)
        prepareTestEnvironment();
    InitApplication(app);
}

void finishTestApplication()
{
    QThreadPool::globalInstance()->waitForDone();
    runtimeDir.reset();
}

} // namespace testing
