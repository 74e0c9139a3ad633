// The thin layer under the window and the view: paths kept as bytes, the
// directory listing, and thumbnail decoding with its size rule.
#include "TestSupport.h"
#include "image_decoding.h"
#include "listing.h"
#include "native_path.h"

#include <QBuffer>
#include <QFile>
#include <QImageReader>
#include <QDir>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>

using namespace Qt::StringLiterals;

namespace {

std::string bytes(const QByteArray &b) { return std::string(b.constData(), size_t(b.size())); }

bool writeNative(const std::string &path, const QByteArray &content)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0)
        return false;
    const bool ok = ::write(fd, content.constData(), size_t(content.size())) == content.size();
    return ::close(fd) == 0 && ok;
}

QByteArray encoded(const QImage &image, const char *format)
{
    QByteArray out;
    QBuffer buffer(&out);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return out;
}

// Names in the order readdir gives them, without "." and "..".
std::vector<std::string> readdirNames(const std::string &folder)
{
    std::vector<std::string> names;
    DIR *d = ::opendir(folder.c_str());
    if (!d)
        return names;
    while (const dirent *e = ::readdir(d)) {
        const std::string name = e->d_name;
        if (name != "." && name != "..")
            names.push_back(name);
    }
    ::closedir(d);
    return names;
}

// A baseline TIFF, little-endian, uncompressed RGB, one page per image.
QByteArray multiPageTiff(const QList<QImage> &pages)
{
    QByteArray out("II*\0\0\0\0\0", 8);
    auto put16 = [&](QByteArray &b, quint16 v) { b.append(char(v & 0xFF)).append(char(v >> 8)); };
    auto put32 = [&](QByteArray &b, quint32 v) {
        for (int i = 0; i < 4; ++i)
            b.append(char((v >> (8 * i)) & 0xFF));
    };
    auto patch32 = [&](qsizetype at, quint32 v) {
        for (int i = 0; i < 4; ++i)
            out[at + i] = char((v >> (8 * i)) & 0xFF);
    };
    qsizetype nextLink = 4; // where the offset of the next IFD goes
    for (const QImage &page : pages) {
        const QImage rgb = page.convertToFormat(QImage::Format_RGB888);
        const quint32 stripAt = quint32(out.size());
        for (int y = 0; y < rgb.height(); ++y)
            out.append(reinterpret_cast<const char *>(rgb.constScanLine(y)), rgb.width() * 3);
        const quint32 stripBytes = quint32(out.size()) - stripAt;
        if (out.size() % 2)
            out.append('\0');
        const quint32 bitsAt = quint32(out.size());
        put16(out, 8), put16(out, 8), put16(out, 8);
        const quint32 ifdAt = quint32(out.size());
        patch32(nextLink, ifdAt);
        struct Tag { quint16 tag, type; quint32 count, value; };
        const Tag tags[] = {
            {256, 4, 1, quint32(rgb.width())}, {257, 4, 1, quint32(rgb.height())}, {258, 3, 3, bitsAt},
            {259, 3, 1, 1}, {262, 3, 1, 2}, {273, 4, 1, stripAt}, {277, 3, 1, 3},
            {278, 4, 1, quint32(rgb.height())}, {279, 4, 1, stripBytes}, {284, 3, 1, 1},
        };
        put16(out, quint16(std::size(tags)));
        for (const Tag &t : tags) {
            put16(out, t.tag), put16(out, t.type), put32(out, t.count);
            if (t.type == 3 && t.count == 1)
                put16(out, quint16(t.value)), put16(out, 0);
            else
                put32(out, t.value);
        }
        nextLink = out.size();
        put32(out, 0);
    }
    return out;
}

bool near(QRgb a, QColor b) { return qAbs(qRed(a) - b.red()) < 40 && qAbs(qGreen(a) - b.green()) < 40 && qAbs(qBlue(a) - b.blue()) < 40; }

// QTemporaryDir removes through QDir, which skips names that are not UTF-8.
struct ByteTempDir {
    QTemporaryDir dir;
    ~ByteTempDir()
    {
        std::error_code ec;
        std::filesystem::remove_all(std::filesystem::path(bytes(QFile::encodeName(dir.path()))), ec);
    }
};

} // namespace

class TestPlatform : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void nativePathRoundTrip_data()
    {
        QTest::addColumn<QByteArray>("native");
        QTest::addColumn<QString>("expected"); // the QString it becomes; null: only escapes where bytes are bad
        QTest::addColumn<int>("escapes");
        QTest::newRow("ascii") << QByteArray("/home/u/Pictures/a b.jpg") << u"/home/u/Pictures/a b.jpg"_s << 0;
        QTest::newRow("japanese") << u"/写真/夏の海.png"_s.toUtf8() << u"/写真/夏の海.png"_s << 0;
        QTest::newRow("emoji") << u"/x/🐱😀.jpg"_s.toUtf8() << u"/x/🐱😀.jpg"_s << 0;
        QTest::newRow("latin1") << QByteArray("/x/caf\xE9.jpg") << QString() << 1;
        QTest::newRow("shift-jis") << QByteArray("/x/\x8E\xCA\x90\x5E.jpg") << QString() << 1; // CA 90 is valid UTF-8
        QTest::newRow("lone continuation") << QByteArray("/x/\x80\xBF\x80") << QString() << 3;
        QTest::newRow("overlong slash") << QByteArray("/x/\xC0\xAF") << QString() << 2;
        QTest::newRow("overlong nul") << QByteArray("/x/\xE0\x80\x80") << QString() << 3;
        QTest::newRow("escaped surrogate") << QByteArray("/x/\xED\xB2\x80") << QString() << 3;
        QTest::newRow("beyond unicode") << QByteArray("/x/\xF4\x90\x80\x80") << QString() << 4;
        QTest::newRow("cut sequence") << QByteArray("/x/\xE6\x97") << QString() << 2;
        QTest::newRow("all high bytes") << [] {
            QByteArray b("/");
            for (int c = 0x80; c <= 0xFF; ++c)
                b.append(char(c));
            return b;
        }() << QString() << 128;
    }
    void nativePathRoundTrip()
    {
        QFETCH(QByteArray, native);
        QFETCH(QString, expected);
        QFETCH(int, escapes);
        const QString path = platform::pathFromNative(bytes(native));
        QCOMPARE(platform::nativeFromPath(path), bytes(native));
        if (!expected.isNull())
            QCOMPARE(path, expected);
        int found = 0;
        for (QChar c : path)
            found += c.unicode() >= 0xDC80 && c.unicode() <= 0xDCFF;
        QCOMPARE(found, escapes);
        // The path reaches the same file through std::filesystem.
        QCOMPARE(platform::fsPath(path).native(), bytes(native));
    }

    void displayText_data()
    {
        QTest::addColumn<QByteArray>("native");
        QTest::addColumn<QString>("shown");
        QTest::newRow("ascii") << QByteArray("/a/b.jpg") << u"/a/b.jpg"_s;
        QTest::newRow("utf-8") << u"/写真/夏.png"_s.toUtf8() << u"/写真/夏.png"_s;
        QTest::newRow("shift-jis name") << QByteArray("\x8E\xCA\x90\x5E.jpg") << u"写真.jpg"_s;
        QTest::newRow("shift-jis folder in utf-8 path")
            << (u"/ホーム/"_s.toUtf8() + QByteArray("\x82\xA0/x.png")) << u"/ホーム/あ/x.png"_s;
        QTest::newRow("latin-1") << QByteArray("caf\xE9.jpg") << u"caf\uFFFD.jpg"_s;
        QTest::newRow("lone continuation") << QByteArray("a\x80z") << u"a\uFFFDz"_s;
    }
    void displayText()
    {
        QFETCH(QByteArray, native);
        QFETCH(QString, shown);
        const QString text = platform::displayText(platform::pathFromNative(bytes(native)));
        QCOMPARE(text, shown);
        // No kept byte reaches the screen: the text is valid UTF-16 throughout.
        QCOMPARE(QString::fromUtf8(text.toUtf8()), text);
    }

    void joinAndLastComponent()
    {
        QCOMPARE(platform::joinPath(u"/a"_s, u"b"_s), u"/a/b"_s);
        QCOMPARE(platform::joinPath(u"/"_s, u"b"_s), u"/b"_s);
        QCOMPARE(platform::joinPath(u"/a/"_s, u"b"_s), u"/a/b"_s);
        QCOMPARE(platform::lastComponent(u"/a.d/b.jpg"_s), u"b.jpg"_s);
        QCOMPARE(platform::lastComponent(u"b.jpg"_s), u"b.jpg"_s);
    }

    void listingKeepsReaddirOrder()
    {
        ByteTempDir tmp;
        const QTemporaryDir &dir = tmp.dir;
        const std::string root = bytes(QFile::encodeName(dir.path()));
        // Enough names that a sorted listing and readdir's order would differ.
        for (int i = 0; i < 24; ++i) {
            const std::string n = root + "/" + char('a' + (i * 7) % 24) + std::to_string(i);
            if (i % 3 == 0)
                QCOMPARE(::mkdir(n.c_str(), 0755), 0);
            else
                QVERIFY(writeNative(n + ".jpg", "x"));
        }
        QVERIFY(writeNative(root + "/.hidden.png", "x"));
        QCOMPARE(::mkdir((root + "/.hiddendir").c_str(), 0755), 0);
        QVERIFY(writeNative(root + "/caf\xE9.jpg", "x"));
        QCOMPARE(::mkdir((root + "/\x8E\xCA\x90\x5E").c_str(), 0755), 0);
        QCOMPARE(::symlink((root + "/a0").c_str(), (root + "/link-to-folder").c_str()), 0);
        QCOMPARE(::symlink((root + "/gone").c_str(), (root + "/broken-link.jpg").c_str()), 0);
        QVERIFY(writeNative(root + "/no-dot", "x"));

        std::vector<QString> folders, files;
        for (const std::string &name : readdirNames(root)) {
            struct stat st{};
            const QString path = platform::pathFromNative(root + "/" + name);
            if (::stat((root + "/" + name).c_str(), &st) == 0 && S_ISDIR(st.st_mode))
                folders.push_back(path);
            else
                files.push_back(path);
        }
        std::vector<QString> sorted = files;
        std::sort(sorted.begin(), sorted.end());
        QVERIFY2(sorted != files, "the fixture should not come back sorted from readdir");

        const platform::FolderListing listing = platform::listFolder(dir.path());
        QCOMPARE(listing.folders, folders);
        QCOMPARE(listing.files, files);
        const auto has = [](const std::vector<QString> &v, const std::string &native) {
            return std::find(v.begin(), v.end(), platform::pathFromNative(native)) != v.end();
        };
        QVERIFY(has(listing.folders, root + "/link-to-folder"));
        QVERIFY(has(listing.folders, root + "/.hiddendir"));
        QVERIFY(has(listing.folders, root + "/\x8E\xCA\x90\x5E"));
        QVERIFY(has(listing.files, root + "/broken-link.jpg"));
        QVERIFY(has(listing.files, root + "/.hidden.png"));
        QVERIFY(has(listing.files, root + "/caf\xE9.jpg"));
        for (const auto *v : {&listing.folders, &listing.files})
            for (const QString &p : *v)
                QVERIFY(!p.endsWith(u"/."_s) && !p.endsWith(u"/.."_s));
    }

    void listingOfWhatIsNoFolder()
    {
        QTemporaryDir dir;
        QVERIFY(testing::writeFile(dir.filePath(u"file.jpg"_s), "x"));
        QVERIFY(QFile::link(dir.filePath(u"nowhere"_s), dir.filePath(u"broken"_s)));
        for (const QString &p : {QString(), dir.filePath(u"missing"_s), dir.filePath(u"file.jpg"_s), dir.filePath(u"broken"_s)}) {
            const platform::FolderListing listing = platform::listFolder(p);
            QVERIFY2(listing.folders.empty() && listing.files.empty(), qPrintable(p));
        }
        QVERIFY(!platform::isDirectory(QString()));
        QVERIFY(!platform::exists(QString()));
        QVERIFY(!platform::isFile(QString()));
        QVERIFY(platform::isFile(dir.filePath(u"file.jpg"_s)));
        QVERIFY(!platform::isFile(dir.path()));
        QVERIFY(platform::isDirectory(dir.path()));
        QVERIFY(!platform::exists(dir.filePath(u"broken"_s)));
    }

    void fitIntoBox_data()
    {
        QTest::addColumn<QSize>("source");
        QTest::addColumn<int>("box");
        QTest::addColumn<QSize>("fitted");
        QTest::newRow("landscape photo") << QSize(4000, 3000) << 100 << QSize(100, 75);
        QTest::newRow("portrait photo") << QSize(3000, 4000) << 100 << QSize(75, 100);
        QTest::newRow("small icon stays") << QSize(60, 40) << 100 << QSize(60, 40);
        QTest::newRow("full hd at 350") << QSize(1920, 1080) << 350 << QSize(350, 196);
        QTest::newRow("thin strip") << QSize(1, 20000) << 100 << QSize(1, 100);
        QTest::newRow("wide strip") << QSize(20000, 1) << 100 << QSize(100, 1);
        QTest::newRow("exactly the box") << QSize(100, 100) << 100 << QSize(100, 100);
        QTest::newRow("one side on the box") << QSize(100, 30) << 100 << QSize(100, 30);
        QTest::newRow("one pixel over") << QSize(101, 100) << 100 << QSize(100, 99);
        QTest::newRow("square") << QSize(5000, 5000) << 250 << QSize(250, 250);
    }
    void fitIntoBox()
    {
        QFETCH(QSize, source);
        QFETCH(int, box);
        QFETCH(QSize, fitted);
        QCOMPARE(platform::fitIntoBox(source, box), fitted);
    }

    void decodesToTheFittedSize_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QSize>("size");
        QTest::addColumn<int>("box");
        QTest::addColumn<QSize>("fitted");
        QTest::newRow("jpeg landscape") << u"a.jpg"_s << QSize(4000, 3000) << 100 << QSize(100, 75);
        QTest::newRow("jpeg hd at 350") << u"b.JPEG"_s << QSize(1920, 1080) << 350 << QSize(350, 196);
        QTest::newRow("png portrait") << u"c.png"_s << QSize(3000, 4000) << 100 << QSize(75, 100);
        QTest::newRow("png strip") << u"d.png"_s << QSize(1, 20000) << 100 << QSize(1, 100);
        QTest::newRow("bmp icon") << u"e.bmp"_s << QSize(60, 40) << 100 << QSize(60, 40);
        QTest::newRow("bmp scaled") << u"f.bmp"_s << QSize(400, 300) << 100 << QSize(100, 75);
        QTest::newRow("tiff hd at 350") << u"g.tif"_s << QSize(1920, 1080) << 350 << QSize(350, 196);
        QTest::newRow("tiff exact box") << u"h.tiff"_s << QSize(150, 150) << 150 << QSize(150, 150);
    }
    void decodesToTheFittedSize()
    {
        QFETCH(QString, name);
        QFETCH(QSize, size);
        QFETCH(int, box);
        QFETCH(QSize, fitted);
        QTemporaryDir dir;
        const QString path = dir.filePath(name);
        const QByteArray format = name.endsWith(u"EG"_s) ? "jpeg" : QByteArray();
        QVERIFY(testing::makePicture(path, size.width(), size.height(), format.isEmpty() ? nullptr : format.constData()));
        const QImage image = platform::decodeThumbnail(path, box);
        QCOMPARE(image.size(), fitted);
        QCOMPARE(image.format(), QImage::Format_ARGB32_Premultiplied);
        if (fitted.width() >= 8 && fitted.height() >= 8) {
            // Corners where they were: red top left, yellow bottom right.
            QVERIFY(near(image.pixel(1, 1), Qt::red));
            QVERIFY(near(image.pixel(image.width() - 2, image.height() - 2), Qt::yellow));
        }
    }

    void formatComesFromTheContent_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("format");
        QTest::newRow("png named .jpg") << u"really-png.jpg"_s << QByteArray("png");
        QTest::newRow("jpeg named .png") << u"really-jpeg.png"_s << QByteArray("jpeg");
        QTest::newRow("bmp named .tif") << u"really-bmp.tif"_s << QByteArray("bmp");
    }
    void formatComesFromTheContent()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, format);
        QTemporaryDir dir;
        QVERIFY(testing::makePicture(dir.filePath(name), 300, 200, format.constData()));
        const QImage image = platform::decodeThumbnail(dir.filePath(name), 100);
        QCOMPARE(image.size(), QSize(100, 66));
        QVERIFY(near(image.pixel(1, 1), Qt::red));
    }

    void multiPageTiffGivesItsFirstPage()
    {
        QImage first(200, 100, QImage::Format_RGB32);
        first.fill(Qt::red);
        QImage second(50, 80, QImage::Format_RGB32);
        second.fill(Qt::green);
        QTemporaryDir dir;
        const QString path = dir.filePath(u"pages.tif"_s);
        QVERIFY(testing::writeFile(path, multiPageTiff({first, second})));
        QImageReader reader(path);
        QCOMPARE(reader.imageCount(), 2); // the fixture really has two pages
        const QImage image = platform::decodeThumbnail(path, 100);
        QCOMPARE(image.size(), QSize(100, 50));
        QVERIFY(near(image.pixel(50, 25), Qt::red));
    }

    void badFilesThrow_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("name");
        QImage photo(400, 300, QImage::Format_RGB32);
        for (int y = 0; y < photo.height(); ++y)
            for (int x = 0; x < photo.width(); ++x)
                photo.setPixel(x, y, qRgb(x % 256, y % 256, (x * y) % 256));
        const QByteArray jpeg = encoded(photo, "jpeg");
        const QByteArray png = encoded(photo, "png");
        QTest::newRow("zero bytes") << QByteArray() << u"empty.jpg"_s;
        QTest::newRow("jpeg cut in half") << jpeg.left(jpeg.size() / 2) << u"cut.jpg"_s;
        QTest::newRow("jpeg without its end") << jpeg.left(jpeg.size() - 200) << u"cut-end.jpg"_s;
        QTest::newRow("jpeg header only") << jpeg.left(300) << u"header.jpg"_s;
        QTest::newRow("png cut in half") << png.left(png.size() / 2) << u"cut.png"_s;
        const QByteArray bmp = encoded(photo, "bmp");
        QTest::newRow("bmp cut in half") << bmp.left(bmp.size() / 2) << u"cut.bmp"_s;
        const QByteArray tiff = encoded(photo, "tiff");
        QTest::newRow("tiff cut in half") << tiff.left(tiff.size() / 2) << u"cut.tif"_s;
        QTest::newRow("text named .png") << QByteArray("not a picture at all") << u"text.png"_s;
    }
    void badFilesThrow()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, name);
        QTemporaryDir dir;
        QVERIFY(testing::writeFile(dir.filePath(name), content));
        QVERIFY_THROWS_EXCEPTION(platform::Error, platform::decodeThumbnail(dir.filePath(name), 100));
    }

    void missingFileOrFolderThrows()
    {
        QTemporaryDir dir;
        QVERIFY_THROWS_EXCEPTION(platform::Error, platform::decodeThumbnail(dir.filePath(u"none.jpg"_s), 100));
        QVERIFY(QDir(dir.path()).mkdir(u"folder.jpg"_s));
        QVERIFY_THROWS_EXCEPTION(platform::Error, platform::decodeThumbnail(dir.filePath(u"folder.jpg"_s), 100));
    }

    void decodesNamesThatAreNotUtf8()
    {
        ByteTempDir tmp;
        const QTemporaryDir &dir = tmp.dir;
        const std::string root = bytes(QFile::encodeName(dir.path()));
        QImage picture(120, 60, QImage::Format_RGB32);
        picture.fill(Qt::blue);
        for (const std::string name : {"caf\xE9.png", "\x8E\xCA\x90\x5E.jpg", "\xED\xB2\x80.bmp"}) {
            const QByteArray format = name.ends_with(".png") ? "png" : name.ends_with(".jpg") ? "jpeg" : "bmp";
            QVERIFY(writeNative(root + "/" + name, encoded(picture, format.constData())));
            const QImage image = platform::decodeThumbnail(platform::pathFromNative(root + "/" + name), 100);
            QCOMPARE(image.size(), QSize(100, 50));
            QVERIFY(near(image.pixel(50, 25), Qt::blue));
        }
    }
};

FOTRA_TEST_MAIN(TestPlatform)
#include "tst_platform.moc"
