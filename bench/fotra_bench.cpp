// Speed and memory of the viewer at scale, offscreen. Drives the real
// TThumbnails (and the real TForm1 for the folder listing) and prints
// "name: value" lines; the reference decodes run in the same invocation so
// that the ratios are what is quoted. See README.md, "Benchmarks".
#include "Application.h"
#include "CaptionLabel.h"
#include "Thumbnails.h"
#include "Unit1.h"
#include "bench_input.h"
#include "image_decoding.h"
#include "progress_bar.h"
#include "vert_scroll_box.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImageReader>
#include <QPaintEvent>
#include <QProcess>
#include <QScrollBar>
#include <QStandardPaths>
#include <QThread>
#include <QThreadPool>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <sys/resource.h>
#include <thread>
#include <vector>

namespace {

double ms(qint64 ns) { return double(ns) / 1e6; }

void print(const char *name, const QString &value)
{
    std::printf("%s: %s\n", name, qPrintable(value));
    std::fflush(stdout);
}
void print(const QString &name, double value, int decimals = 2) { print(qPrintable(name), QString::number(value, 'f', decimals)); }
void print(const QString &name, qint64 value) { print(qPrintable(name), QString::number(value)); }

double median(std::vector<double> v)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

double percentile(std::vector<double> v, double p)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    const size_t i = std::min(v.size() - 1, size_t(p / 100.0 * double(v.size())));
    return v[i];
}

qint64 statusKb(const char *field)
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : f.readAll().split('\n'))
        if (line.startsWith(field))
            return line.mid(qstrlen(field)).trimmed().split(' ').first().toLongLong();
    return -1;
}

// CPU time of this process (every thread), or of its waited-for children.
double cpuMs(int who = RUSAGE_SELF)
{
    rusage u{};
    getrusage(who, &u);
    const auto t = [](timeval v) { return double(v.tv_sec) * 1000.0 + double(v.tv_usec) / 1000.0; };
    return t(u.ru_utime) + t(u.ru_stime);
}

QString loadAverage()
{
    QFile f(QStringLiteral("/proc/loadavg"));
    return f.open(QIODevice::ReadOnly) ? QString::fromLatin1(f.readAll()).section(u' ', 0, 2) : QString();
}

QString cpuModel()
{
    QFile f(QStringLiteral("/proc/cpuinfo"));
    if (f.open(QIODevice::ReadOnly))
        for (const QByteArray &line : f.readAll().split('\n'))
            if (line.startsWith("model name"))
                return QString::fromUtf8(line.mid(line.indexOf(':') + 1).trimmed());
    return QStringLiteral("unknown");
}

// Times each event the UI thread handles (outermost deliveries only), so that
// a long gap can be put down to what ran in it.
class TBenchApplication : public QApplication {
public:
    using QApplication::QApplication;
    bool Recording = false;
    struct Longest {
        double ms = 0;
        QString what;
    };
    std::vector<Longest> Top; // the longest few, longest first

    bool notify(QObject *receiver, QEvent *event) override
    {
        if (!Recording || FDepth > 0 || QThread::currentThread() != thread())
            return QApplication::notify(receiver, event);
        ++FDepth;
        QElapsedTimer clock;
        clock.start();
        const int type = event->type();
        const bool result = QApplication::notify(receiver, event);
        --FDepth;
        const double t = ms(clock.nsecsElapsed());
        if (Top.size() < 5 || t > Top.back().ms) {
            const QString what = QStringLiteral("%1 to %2").arg(type).arg(QString::fromLatin1(receiver->metaObject()->className()));
            Top.push_back({t, what});
            std::sort(Top.begin(), Top.end(), [](const Longest &a, const Longest &b) { return a.ms > b.ms; });
            if (Top.size() > 5)
                Top.pop_back();
        }
        return result;
    }

private:
    int FDepth = 0;
};

TBenchApplication *benchApp() { return static_cast<TBenchApplication *>(qApp); }

// The view as the window holds it, with the hand-overs and paints timed.
class TBenchThumbnails : public TThumbnails {
public:
    using TThumbnails::TThumbnails;
    QElapsedTimer Clock;
    std::vector<qint64> Repaints; // ns since the clock started
    std::vector<qint64> Paints;   // paints that drew at least one entry
    using TThumbnails::Repaint;   // for the paint figure

protected:
    void Repaint() override
    {
        Repaints.push_back(Clock.nsecsElapsed());
        TThumbnails::Repaint();
    }
    void paintEvent(QPaintEvent *event) override
    {
        TThumbnails::paintEvent(event);
        if (Count() > 0)
            Paints.push_back(Clock.nsecsElapsed());
    }
};

// The right-hand side of the window: the scroll box with the view, and the
// progress bar the load moves, the way TForm1 wires them.
class THost : public QWidget {
public:
    THost()
    {
        auto *layout = new QVBoxLayout(this);
        layout->setContentsMargins(0, 0, 0, 0);
        Box = new platform::VertScrollBox(this);
        View = new TBenchThumbnails;
        View->resize(737, 531);
        View->SetMinHeight(531);
        Box->setWidget(View);
        Progress = new platform::ProgressBar(this);
        layout->addWidget(Box, 1);
        layout->addWidget(Progress);
        View->SetOnLoadFile([this](QObject *, int32_t cnt) { Progress->SetValue(cnt == Progress->Max() ? 0 : cnt); });
        resize(749, 560);
        show();
        QCoreApplication::processEvents();
    }
    platform::VertScrollBox *Box;
    TBenchThumbnails *View;
    platform::ProgressBar *Progress;
};

struct LoadFigures {
    double wallMs = 0;     // Execute to the last repaint hand-over
    double lastPaintMs = 0; // Execute to the paint after it
    double firstRepaintMs = 0;
    double firstPaintMs = 0;
    double gapMaxMs = 0;
    double gapP99Ms = 0;
    double cpuMs = 0;      // every thread of the process during the load
    QString longestEvents; // what the UI thread spent its longest stretches on
    qint64 thumbBytes = 0;
    int bitmaps = 0;
};

void waitUntilIdle(THost &host)
{
    while (host.View->IsLoading())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    QCoreApplication::processEvents();
}

LoadFigures runLoad(THost &host, const QStringList &files, int size)
{
    TBenchThumbnails *view = host.View;
    if (view->ThumbnailSize() != size) {
        view->Files().clear();
        view->SetThumbnailSize(size);
        waitUntilIdle(host);
    }
    view->Files() = files;
    view->Repaints.clear();
    view->Paints.clear();
    host.Progress->SetValue(0);
    host.Progress->SetMax(int(files.size()));

    std::vector<qint64> ticks;
    ticks.reserve(size_t(files.size()) * 200 + 1000);
    QTimer timer;
    timer.setTimerType(Qt::PreciseTimer);
    timer.setInterval(1);
    QObject::connect(&timer, &QTimer::timeout, [&] { ticks.push_back(view->Clock.nsecsElapsed()); });

    const double cpu0 = cpuMs();
    benchApp()->Top.clear();
    benchApp()->Recording = true;
    view->Clock.start();
    timer.start();
    ticks.push_back(0);
    view->Execute();
    host.Box->RealignAndScrollToTop();
    while (view->IsLoading() || view->Paints.empty() || view->Paints.back() < view->Repaints.back())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    timer.stop();
    benchApp()->Recording = false;

    LoadFigures f;
    for (const auto &l : benchApp()->Top)
        f.longestEvents += QStringLiteral("%1 ms (event %2); ").arg(l.ms, 0, 'f', 2).arg(l.what);
    f.cpuMs = cpuMs() - cpu0;
    f.wallMs = ms(view->Repaints.back());
    f.lastPaintMs = ms(view->Paints.back());
    f.firstRepaintMs = ms(view->Repaints.front());
    f.firstPaintMs = ms(view->Paints.front());
    std::vector<double> gaps;
    for (size_t i = 1; i < ticks.size(); ++i)
        if (ticks[i - 1] < view->Repaints.back())
            gaps.push_back(ms(ticks[i] - ticks[i - 1]));
    f.gapMaxMs = gaps.empty() ? 0 : *std::max_element(gaps.begin(), gaps.end());
    f.gapP99Ms = percentile(gaps, 99);
    for (int i = 0; i < view->Count(); ++i)
        if (const QImage *b = view->Bitmap(i)) {
            f.thumbBytes += b->sizeInBytes();
            ++f.bitmaps;
        }
    return f;
}

// The floor: a plain scaled decode of the same files with the same size rule.
struct Timing {
    double wallMs = 0;
    double cpuMs = 0;
};

Timing floorDecode(const QStringList &files, int size, int threads)
{
    const double cpu0 = cpuMs();
    std::atomic<int> next = 0;
    std::atomic<qint64> sink = 0;
    QElapsedTimer clock;
    clock.start();
    std::vector<std::thread> pool;
    for (int t = 0; t < threads; ++t)
        pool.emplace_back([&] {
            for (int i; (i = next++) < int(files.size());) {
                QImageReader reader(files[i]);
                const QSize stored = reader.size();
                const QSize target = platform::fitIntoBox(stored, size);
                if (target != stored)
                    reader.setScaledSize(target);
                const QImage image = reader.read();
                sink += image.width();
            }
        });
    for (auto &t : pool)
        t.join();
    return {ms(clock.nsecsElapsed()), cpuMs() - cpu0};
}

// vipsthumbnail on the same files: `processes` processes, each given an equal
// share of the files, all started at once.
Timing vipsRun(const QStringList &files, int size, const QString &outDir, int processes)
{
    const double cpu0 = cpuMs(RUSAGE_CHILDREN);
    QDir(outDir).removeRecursively();
    QDir().mkpath(outDir);
    std::vector<std::unique_ptr<QProcess>> running;
    QElapsedTimer clock;
    clock.start();
    for (int p = 0; p < processes; ++p) {
        QStringList args{QStringLiteral("-s"), QStringLiteral("%1x%1").arg(size), QStringLiteral("-o"),
                         outDir + QStringLiteral("/%s.jpg")};
        for (int i = p; i < files.size(); i += processes)
            args << files[i];
        auto proc = std::make_unique<QProcess>();
        proc->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        proc->start(QStringLiteral("vipsthumbnail"), args);
        running.push_back(std::move(proc));
    }
    bool ok = true;
    for (auto &proc : running) {
        proc->waitForFinished(-1);
        ok = ok && proc->exitStatus() == QProcess::NormalExit && proc->exitCode() == 0;
    }
    const double wall = ms(clock.nsecsElapsed());
    if (!ok)
        std::fprintf(stderr, "vipsthumbnail failed\n");
    return {ok ? wall : -1, cpuMs(RUSAGE_CHILDREN) - cpu0};
}

QStringList pictureFiles(const QString &folder)
{
    QStringList out;
    const QStringList names = QDir(folder).entryList(QDir::Files, QDir::Name);
    for (const QString &n : names)
        if (TThumbnails::IsImageFile(n))
            out << QDir(folder).filePath(n);
    return out;
}

// Figures of one set of files at one size: ours, the floor, vipsthumbnail.
// The runs alternate, so that whatever else the machine does falls on all of
// them alike; each figure is the median of its runs.
void loadFigures(const QString &tag, const QStringList &files, int size, int reps, bool vips, const QString &work)
{
    const int cores = QThread::idealThreadCount();
    THost host;
    std::vector<double> ours, oursCpu, floorAll, floorAllCpu, vipsPar, vipsParCpu, vipsOne;
    std::vector<LoadFigures> runs;
    const QString loadBefore = loadAverage();
    const Timing floorOne = floorDecode(files, size, 1);
    const QString vipsOut = work + QStringLiteral("/vips-out");
    for (int r = 0; r < reps; ++r) {
        const Timing fl = floorDecode(files, size, cores);
        floorAll.push_back(fl.wallMs);
        floorAllCpu.push_back(fl.cpuMs);
        runs.push_back(runLoad(host, files, size));
        ours.push_back(runs.back().wallMs);
        oursCpu.push_back(runs.back().cpuMs);
        if (vips) {
            const Timing v = vipsRun(files, size, vipsOut, cores);
            vipsPar.push_back(v.wallMs);
            vipsParCpu.push_back(v.cpuMs);
        }
    }
    if (vips)
        vipsOne.push_back(vipsRun(files, size, vipsOut, 1).wallMs);
    // The run with the median wall time speaks for the UI figures.
    std::vector<size_t> order(runs.size());
    for (size_t i = 0; i < order.size(); ++i)
        order[i] = i;
    std::sort(order.begin(), order.end(), [&](size_t a, size_t b) { return runs[a].wallMs < runs[b].wallMs; });
    const LoadFigures &mid = runs[order[order.size() / 2]];
    const double wall = median(ours), floorMs = median(floorAll);
    const QString p = QStringLiteral("%1_%2_").arg(tag).arg(size);
    print(qPrintable(p + "loadavg_before"), loadBefore);
    print(p + "files", qint64(files.size()));
    print(p + "bitmaps", qint64(mid.bitmaps));
    if (mid.bitmaps < files.size())
        print(qPrintable(p + "warning"), QStringLiteral("%1 of %2 files gave no thumbnail: the figures are not those of a full load")
                                             .arg(files.size() - mid.bitmaps)
                                             .arg(files.size()));
    print(p + "runs", qint64(reps));
    print(p + "load_wall_ms", wall, 1);
    print(p + "load_files_per_s", files.size() / (wall / 1000.0), 1);
    print(p + "load_cpu_ms", median(oursCpu), 1);
    print(p + "load_last_paint_ms", mid.lastPaintMs, 1);
    print(p + "floor_1thread_ms", floorOne.wallMs, 1);
    print(p + "floor_allcores_ms", floorMs, 1);
    print(p + "floor_allcores_cpu_ms", median(floorAllCpu), 1);
    print(p + "floor_allcores_speedup", floorOne.wallMs / floorMs, 2);
    print(p + "ratio_to_floor", wall / floorMs, 3);
    print(p + "cpu_ratio_to_floor", median(oursCpu) / median(floorAllCpu), 3);
    if (vips && !vipsPar.empty() && vipsPar.front() > 0) {
        const double v = median(vipsPar);
        print(p + "vipsthumbnail_parallel_ms", v, 1);
        print(p + "vipsthumbnail_parallel_cpu_ms", median(vipsParCpu), 1);
        print(p + "vipsthumbnail_1process_ms", vipsOne.front(), 1);
        print(p + "speedup_over_vipsthumbnail_parallel", v / wall, 2);
        print(p + "speedup_over_vipsthumbnail_1process", vipsOne.front() / wall, 2);
        print(p + "floor_speedup_over_vipsthumbnail_parallel", v / floorMs, 2);
    }
    print(p + "first_repaint_ms", mid.firstRepaintMs, 1);
    print(p + "first_paint_ms", mid.firstPaintMs, 1);
    print(p + "ui_gap_max_ms", mid.gapMaxMs, 2);
    print(p + "ui_gap_p99_ms", mid.gapP99Ms, 2);
    print(qPrintable(p + "ui_longest_events"), mid.longestEvents);
    print(p + "thumbnail_mb", double(mid.thumbBytes) / (1 << 20), 1);
    print(qPrintable(p + "loadavg_after"), loadAverage());
}

// Peak memory of one load, measured in a child process of its own so that
// nothing of the other figures counts.
void memoryFigures(const QString &tag, const QString &folder, int count, int size)
{
    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(QCoreApplication::applicationFilePath(),
                {QStringLiteral("--memory-child"), folder, QString::number(count), QString::number(size)});
    child.waitForFinished(-1);
    const QList<QByteArray> lines = child.readAllStandardOutput().split('\n');
    qint64 peakKb = -1, baseKb = -1, thumbBytes = -1, n = -1, bitmaps = -1;
    for (const QByteArray &line : lines) {
        const QList<QByteArray> kv = line.split(' ');
        if (kv.size() != 2)
            continue;
        if (kv[0] == "peak_kb")
            peakKb = kv[1].toLongLong();
        else if (kv[0] == "base_kb")
            baseKb = kv[1].toLongLong();
        else if (kv[0] == "thumb_bytes")
            thumbBytes = kv[1].toLongLong();
        else if (kv[0] == "files")
            n = kv[1].toLongLong();
        else if (kv[0] == "bitmaps")
            bitmaps = kv[1].toLongLong();
    }
    const QString p = QStringLiteral("%1_%2_").arg(tag).arg(size);
    if (peakKb < 0) {
        print(qPrintable(p + "memory"), QStringLiteral("failed"));
        return;
    }
    const double thumbMb = double(thumbBytes) / (1 << 20);
    const double peakMb = double(peakKb) / 1024;
    const double targetMb = 1.2 * thumbMb + 100;
    print(p + "memory_files", n);
    print(p + "memory_bitmaps", bitmaps);
    print(p + "peak_rss_mb", peakMb, 1);
    print(p + "rss_before_load_mb", double(baseKb) / 1024, 1);
    print(p + "thumbnail_bytes_mb", thumbMb, 1);
    print(p + "peak_rss_limit_mb", targetMb, 1);
    print(p + "peak_rss_over_limit", peakMb / targetMb, 3);
}

int memoryChild(const QString &folder, int count, int size)
{
    QStringList files = pictureFiles(folder);
    if (files.size() > count)
        files = files.mid(0, count);
    THost host;
    host.View->Files().clear();
    host.View->SetThumbnailSize(size);
    waitUntilIdle(host);
    const qint64 base = statusKb("VmRSS:");
    const LoadFigures f = runLoad(host, files, size);
    std::printf("files %lld\nbitmaps %d\npeak_kb %lld\nbase_kb %lld\nthumb_bytes %lld\n", qint64(files.size()),
                f.bitmaps, statusKb("VmHWM:"), base, f.thumbBytes);
    return 0;
}

// Load time per file as the folder grows: nothing may grow faster than the list.
void growthFigures(const QStringList &small, const std::vector<int> &counts, int reps, THost &host)
{
    for (int n : counts) {
        const QStringList files = small.mid(0, n);
        std::vector<double> perFile, gapMax;
        QString lastEvents;
        for (int r = 0; r < reps; ++r) {
            const LoadFigures f = runLoad(host, files, 100);
            perFile.push_back(f.wallMs * 1000.0 / n);
            gapMax.push_back(f.gapMaxMs);
            lastEvents = f.longestEvents;
        }
        const double floorMs = floorDecode(files, 100, QThread::idealThreadCount()).wallMs;
        print(QStringLiteral("growth_%1_us_per_file").arg(n), median(perFile), 1);
        print(QStringLiteral("growth_%1_floor_us_per_file").arg(n), floorMs * 1000.0 / n, 1);
        print(QStringLiteral("growth_%1_ui_gap_max_ms").arg(n), median(gapMax), 2);
        print(qPrintable(QStringLiteral("growth_%1_ui_longest_events").arg(n)), lastEvents);
    }
}

// One layout pass and one paint of what the scroll box shows, with the view
// full of entries (the last growth load).
void paintFigures(THost &host)
{
    TBenchThumbnails *view = host.View;
    const int n = view->Count();
    constexpr int kRounds = 200;
    std::vector<double> layout, paintTop, paintEnd;
    QElapsedTimer clock;
    for (int i = 0; i < kRounds; ++i) {
        clock.start();
        const std::vector<TRectF> rects = view->CalcThumbRects();
        layout.push_back(ms(clock.nsecsElapsed()));
    }
    QWidget *viewport = host.Box->viewport();
    for (int pass = 0; pass < 2; ++pass) {
        QScrollBar *bar = host.Box->verticalScrollBar();
        bar->setValue(pass == 0 ? 0 : bar->maximum());
        QCoreApplication::processEvents();
        for (int i = 0; i < kRounds; ++i) {
            clock.start();
            viewport->repaint();
            (pass == 0 ? paintTop : paintEnd).push_back(ms(clock.nsecsElapsed()));
        }
    }
    print(QStringLiteral("paint_entries"), qint64(n));
    print(QStringLiteral("paint_view_height_px"), qint64(view->height()));
    print(QStringLiteral("layout_pass_ms"), median(layout), 3);
    print(QStringLiteral("paint_visible_top_ms"), median(paintTop), 3);
    print(QStringLiteral("paint_visible_end_ms"), median(paintEnd), 3);
    print(QStringLiteral("paint_visible_max_ms"), std::max(percentile(paintTop, 100), percentile(paintEnd, 100)), 3);
}

// TreeView1Change of the real window on the generated tree, which is the
// Pictures root of a home of its own.
void listingFigures(const QString &home, int reps)
{
    qputenv("HOME", QFile::encodeName(home));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(home + QStringLiteral("/.config")));
    QDir(home).mkpath(QStringLiteral(".config"));
    for (const char *d : {"Desktop", "Documents", "Downloads"})
        QDir(home).mkpath(QString::fromLatin1(d));
    QFile dirs(home + QStringLiteral("/.config/user-dirs.dirs"));
    if (dirs.open(QIODevice::WriteOnly))
        dirs.write("XDG_DESKTOP_DIR=\"$HOME/Desktop\"\nXDG_DOCUMENTS_DIR=\"$HOME/Documents\"\n"
                   "XDG_DOWNLOAD_DIR=\"$HOME/Downloads\"\nXDG_PICTURES_DIR=\"$HOME/Pictures\"\n");
    dirs.close();

    TForm1 form;
    form.show();
    QCoreApplication::processEvents();
    QTreeWidgetItem *root = form.TreeView1->topLevelItem(0);
    std::vector<double> first, again, withPaint;
    QElapsedTimer clock;
    for (int r = 0; r < reps; ++r) {
        form.TreeView1->clearSelection();
        form.Thumbnails1->Cancel();
        QCoreApplication::processEvents();
        clock.start();
        form.TreeView1->setCurrentItem(root);
        const double t = ms(clock.nsecsElapsed());
        form.Thumbnails1->Cancel(); // the 20,000 tiny files are not what is measured here
        QCoreApplication::processEvents();
        withPaint.push_back(ms(clock.nsecsElapsed()));
        (r == 0 ? first : again).push_back(t);
    }
    print(QStringLiteral("listing_items"), qint64(root->childCount()));
    qint64 grandChildren = 0;
    for (int i = 0; i < root->childCount(); ++i)
        grandChildren += root->child(i)->childCount();
    print(QStringLiteral("listing_subfolder_items"), grandChildren);
    print(QStringLiteral("listing_files_to_view"), qint64(form.Thumbnails1->Files().size()));
    print(QStringLiteral("listing_first_ms"), first.front(), 1);
    if (!again.empty())
        print(QStringLiteral("listing_again_ms"), median(again), 1);
    print(QStringLiteral("listing_with_tree_paint_ms"), median(withPaint), 1);
    form.TreeView1->clearSelection();
    form.Thumbnails1->Cancel();
    QThreadPool::globalInstance()->waitForDone();
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    TBenchApplication app(argc, argv);
    InitApplication(app); // the window's style sheet: widget creation costs what it costs in the program

    if (argc == 5 && qstrcmp(argv[1], "--memory-child") == 0)
        return memoryChild(QString::fromLocal8Bit(argv[2]), atoi(argv[3]), atoi(argv[4]));

    QCommandLineParser cl;
    cl.setApplicationDescription(QStringLiteral("Fotra Viewer benchmark"));
    cl.addHelpOption();
    cl.addPositionalArgument(QStringLiteral("folder"), QStringLiteral("pictures to load (default: generated)"));
    const QCommandLineOption workOpt(QStringLiteral("work"), QStringLiteral("folder for generated input"),
                                     QStringLiteral("dir"), QStringLiteral("/tmp/fotra-bench"));
    const QCommandLineOption countOpt(QStringLiteral("count"), QStringLiteral("photos per load (500)"),
                                      QStringLiteral("n"), QStringLiteral("500"));
    const QCommandLineOption memOpt(QStringLiteral("memory-count"), QStringLiteral("photos of the memory load (1000)"),
                                    QStringLiteral("n"), QStringLiteral("1000"));
    const QCommandLineOption progOpt(QStringLiteral("progressive"), QStringLiteral("progressive JPEGs (100)"),
                                     QStringLiteral("n"), QStringLiteral("100"));
    const QCommandLineOption pngOpt(QStringLiteral("pngs"), QStringLiteral("PNG pictures (30)"), QStringLiteral("n"),
                                    QStringLiteral("30"));
    const QCommandLineOption sizeOpt(QStringLiteral("photo-size"), QStringLiteral("photo pixels (4000x3000)"),
                                     QStringLiteral("WxH"), QStringLiteral("4000x3000"));
    const QCommandLineOption pngSizeOpt(QStringLiteral("png-size"), QStringLiteral("PNG pixels (2000x1500)"),
                                        QStringLiteral("WxH"), QStringLiteral("2000x1500"));
    const QCommandLineOption repsOpt(QStringLiteral("reps"), QStringLiteral("runs per load figure (3)"),
                                     QStringLiteral("n"), QStringLiteral("3"));
    const QCommandLineOption onlyOpt(QStringLiteral("only"),
                                     QStringLiteral("comma list of: load,png,memory,growth,paint,listing"),
                                     QStringLiteral("parts"), QStringLiteral("load,png,memory,growth,paint,listing"));
    const QCommandLineOption noVipsOpt(QStringLiteral("no-vips"), QStringLiteral("skip vipsthumbnail"));
    cl.addOptions({workOpt, countOpt, memOpt, progOpt, pngOpt, sizeOpt, pngSizeOpt, repsOpt, onlyOpt, noVipsOpt});
    cl.process(app);

    const QString work = cl.value(workOpt);
    const int count = cl.value(countOpt).toInt();
    const int memCount = cl.value(memOpt).toInt();
    const int reps = qMax(1, cl.value(repsOpt).toInt());
    const QStringList only = cl.value(onlyOpt).split(u',');
    const auto want = [&](const char *part) { return only.contains(QString::fromLatin1(part)); };
    const auto wxh = [](const QString &s) {
        const QStringList p = s.split(u'x');
        return QSize(p.value(0).toInt(), p.value(1).toInt());
    };
    const QSize photoSize = wxh(cl.value(sizeOpt));
    const QSize pngSize = wxh(cl.value(pngSizeOpt));
    const bool vips = !cl.isSet(noVipsOpt) && !QStandardPaths::findExecutable(QStringLiteral("vipsthumbnail")).isEmpty();

    print("machine_nproc", QString::number(QThread::idealThreadCount()));
    print("machine_cpu", cpuModel());
    print("qt_version", QString::fromLatin1(qVersion()));
    print("pool_threads", QString::number(QThreadPool::globalInstance()->maxThreadCount()));

    QStringList photos;
    QString photoFolder;
    if (!cl.positionalArguments().isEmpty()) {
        photoFolder = cl.positionalArguments().first();
        photos = pictureFiles(photoFolder);
        if (photos.size() > count)
            photos = photos.mid(0, count);
    } else {
        photoFolder = work + QStringLiteral("/photos");
        bench::PictureSet set{photoFolder, qMax(count, want("memory") ? memCount : 0), photoSize.width(),
                              photoSize.height()};
        photos = bench::ensurePictures(set).mid(0, count);
    }
    qint64 bytes = bench::warmPageCache(photos);
    print("input_folder", photoFolder);
    print("input_files", qint64(photos.size()));
    print("input_mean_file_mb", photos.isEmpty() ? 0.0 : double(bytes) / photos.size() / (1 << 20), 2);
    print("vipsthumbnail",
          vips ? QStringLiteral("vipsthumbnail -s SxS -o OUT/%s.jpg FILES...; parallel: nproc such processes started at "
                                "once, each on every nproc-th file; 1process: one on all files")
               : QStringLiteral("not installed (or --no-vips)"));

    if (want("load") && !photos.isEmpty())
        for (int size : {100, 350})
            loadFigures(QStringLiteral("photos"), photos, size, reps, vips, work);

    if (want("png")) {
        bench::PictureSet set{work + QStringLiteral("/png"), cl.value(pngOpt).toInt(), pngSize.width(),
                              pngSize.height(), "png"};
        const QStringList pngs = bench::ensurePictures(set);
        bytes = bench::warmPageCache(pngs);
        print("png_mean_file_mb", pngs.isEmpty() ? 0.0 : double(bytes) / pngs.size() / (1 << 20), 2);
        if (!pngs.isEmpty())
            loadFigures(QStringLiteral("png"), pngs, 350, reps, vips, work);
    }

    if (want("memory")) {
        if (cl.positionalArguments().isEmpty()) {
            bench::PictureSet set{photoFolder, memCount, photoSize.width(), photoSize.height()};
            bench::warmPageCache(bench::ensurePictures(set));
        }
        memoryFigures(QStringLiteral("photos"), photoFolder, memCount, 350);
        bench::PictureSet prog{work + QStringLiteral("/progressive"), cl.value(progOpt).toInt(), photoSize.width(),
                               photoSize.height()};
        prog.progressive = true;
        if (prog.count > 0) {
            const QStringList files = bench::ensurePictures(prog);
            bench::warmPageCache(files);
            memoryFigures(QStringLiteral("progressive"), prog.folder, prog.count, 350);
            loadFigures(QStringLiteral("progressive"), files, 350, 1, vips, work);
        }
    }

    if (want("growth") || want("paint")) {
        bench::PictureSet set{work + QStringLiteral("/small"), 10000, 320, 240};
        const QStringList small = bench::ensurePictures(set);
        bench::warmPageCache(small);
        THost host;
        if (want("growth"))
            growthFigures(small, {100, 1000, 10000}, reps, host);
        else
            runLoad(host, small, 100);
        if (want("paint"))
            paintFigures(host);
    }

    if (want("listing")) {
        const QString home = work + QStringLiteral("/home");
        bench::ensureListingTree(home + QStringLiteral("/Pictures"), 20000, 200, 100);
        listingFigures(home, qMax(3, reps));
    }

    QThreadPool::globalInstance()->waitForDone();
    return 0;
}
