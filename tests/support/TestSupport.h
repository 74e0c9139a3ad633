#pragma once
// Shared pieces of the test suites: a throw-away home with the four standard
// folders, small generated pictures, and a capture of the message boxes.
#include <QApplication>
#include <QImage>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>

#include <functional>
#include <memory>

#include "error_display.h"

class TThumbnails;

namespace testing {

// A fresh HOME whose XDG user directories are Pictures, Desktop, Documents
// and Downloads below it, all created; QStandardPaths reads them from there.
class TempHome {
public:
    TempHome();
    ~TempHome();
    QString root() const { return FDir.path(); }
    QString pictures() const { return root() + "/Pictures"; }
    QString desktop() const { return root() + "/Desktop"; }
    QString documents() const { return root() + "/Documents"; }
    QString downloads() const { return root() + "/Downloads"; }

private:
    QTemporaryDir FDir;
    QByteArray FOldHome, FOldConfig;
};

// A picture of w x h with a pattern that tells its corners apart, saved in
// the format the extension of `path` names, unless `format` is given. Parent
// folders are created.
bool makePicture(const QString &path, int w, int h, const char *format = nullptr, QColor color = QColor(40, 140, 200));
// The picture makePicture saves: `color` with red, green, blue and yellow corners.
QImage cornerPattern(int w, int h, QColor color = QColor(40, 140, 200), QImage::Format format = QImage::Format_ARGB32);
bool makeFolder(const QString &path);
bool writeFile(const QString &path, const QByteArray &bytes);

// Collects what would have been shown in message boxes.
struct Message {
    platform::MessageKind kind;
    QString title;
    QString text;
};
class MessageCapture {
public:
    MessageCapture();
    ~MessageCapture();
    QList<Message> messages;

private:
    platform::MessageSink FPrevious;
};

// Waits (processing events) until the view's current load has handed over its
// last repaint, and the paint it asked for has run.
bool waitForLoad(TThumbnails *view, int timeoutMs = 30000);

} // namespace testing

// Like QTEST_MAIN, with the application set up as the program entry does.
#define FOTRA_TEST_MAIN(TestClass)                                                                                    \
    int main(int argc, char **argv)                                                                                    \
    {                                                                                                                  \
        testing::prepareTestEnvironment();                                                                            \
        QApplication app(argc, argv);                                                                                  \
        testing::initTestApplication(app);                                                                            \
        TestClass tc;                                                                                                  \
        QTEST_SET_MAIN_SOURCE_PATH                                                                                     \
        const int rc = QTest::qExec(&tc, argc, argv);                                                                  \
        testing::finishTestApplication();                                                                             \
        return rc;                                                                                                     \
    }

namespace testing {
// Before the application object: a private XDG_RUNTIME_DIR (mode 0700), so
// Qt needs no shared runtime folder and warns about none.
void prepareTestEnvironment();
void initTestApplication(QApplication &app);
void finishTestApplication();
} // namespace testing
