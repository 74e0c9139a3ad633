#include "LoadJob.h"

#include "thread_handover.h"

#include <QCoreApplication>
#include <QThreadPool>

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

// A call queued to the UI thread. Qt moves it into its own slot object
// last, so handing over at the end of each move covers everything the
// loading thread wrote; taking over comes before anything of the call is
// read, in the call and in the destructor, which runs on whichever thread
// drops the last reference (and also for a call that never ran).
template <class F>
class TQueuedCall {
public:
    explicit TQueuedCall(F call) : FCall(std::move(call)) { platform::handOver(); }
    TQueuedCall(TQueuedCall &&other) : FCall(std::move(other.FCall)) { platform::handOver(); }
    ~TQueuedCall() { platform::takeOver(); }
    void operator()()
    {
        platform::takeOver();
        FCall();
        platform::handOver(); // the loading thread may drop Qt's last reference to it
    }

private:
    F FCall;
};

// A task for the pool, taken over the same way.
class TPoolTask : public QRunnable {
public:
    explicit TPoolTask(std::function<void()> task) : FTask(std::move(task)) {}
    ~TPoolTask() override { platform::takeOver(); }
    void run() override
    {
        platform::takeOver();
        FTask();
    }

private:
    std::function<void()> FTask;
};

void StartOnPool(std::function<void()> task)
{
    auto *runnable = new TPoolTask(std::move(task));
    platform::handOver();
    QThreadPool::globalInstance()->start(runnable);
}

} // namespace

TLoadJob::TLoadJob(TThumbnails *view, QStringList files)
    : FView(view), FFiles(std::move(files)), FDone(size_t(FFiles.size()))
{
}

void TLoadJob::Start()
{
    StartOnPool([self = shared_from_this()] { self->Run(); });
}

void TLoadJob::Cancel()
{
    std::lock_guard lock(FMutex);
    FCancelled = true;
    FChanged.notify_all();
}

void TLoadJob::CancelAndWaitForOpenFile()
{
    std::unique_lock lock(FMutex);
    FCancelled = true;
    FChanged.notify_all();
    FChanged.wait(lock, [this] { return FInOpenFile == 0; });
}

template <class F>
void TLoadJob::PostToUi(F call)
{
    // qApp outlives every view; a call that arrives after Cancel does nothing.
    QMetaObject::invokeMethod(qApp, TQueuedCall<F>(std::move(call)), Qt::QueuedConnection);
}

namespace {

// Decoding keeps every core busy; a lower priority for the loading threads
// lets the UI thread run at once whenever it has work. The pool's threads
// serve only loads, so they may keep it (an unprivileged thread cannot
// raise it back anyway).
void LowerThreadPriority()
{
    constexpr int kNice = 10;
    const auto tid = id_t(::syscall(SYS_gettid));
    if (::getpriority(PRIO_PROCESS, tid) < kNice)
        ::setpriority(PRIO_PROCESS, tid, kNice);
}

} // namespace

void TLoadJob::Run()
{
    if (IsCancelled())
        return;
    LowerThreadPriority();
    try {
        const int n = int(FFiles.size());
        const int helpers = qMin(QThreadPool::globalInstance()->maxThreadCount() - 1, n - 1);
        for (int h = 0; h < helpers; ++h)
            StartOnPool([self = shared_from_this()] { self->Help(); });

        for (int k = 0; k < n; ++k) {
            TThumbnailPair pair;
            if (!Await(k, pair))
                return;
            PostToUi([self = shared_from_this(), pair = std::move(pair), k]() mutable {
                if (!self->IsCancelled())
                    self->FView->AppendEntry(std::move(pair), k + 1);
            });
            if ((k + 1) % 5 == 0 && !RepaintAndWait())
                return;
        }
        RepaintAndWait(true);
    } catch (...) {
        // An error that escapes the load ends it silently; what was appended stays.
    }
}

void TLoadJob::Help()
{
    LowerThreadPriority();
    std::unique_lock lock(FMutex);
    while (!FCancelled && FClaimed < int(FFiles.size())) {
        if (!DecodeNext(lock))
            FChanged.wait(lock);
    }
}

bool TLoadJob::Await(int k, TThumbnailPair &pair)
{
    std::unique_lock lock(FMutex);
    for (;;) {
        if (FCancelled)
            return false;
        if (FDone[size_t(k)]) {
            pair = std::move(*FDone[size_t(k)]);
            FDone[size_t(k)].reset();
            FDue = k + 1;
            FChanged.notify_all();
            return true;
        }
        if (!DecodeNext(lock))
            FChanged.wait(lock);
    }
}

bool TLoadJob::DecodeNext(std::unique_lock<std::mutex> &lock)
{
    if (FCancelled || FClaimed >= int(FFiles.size()) || FClaimed >= FDue + kLookahead)
        return false;
    const int i = FClaimed++;
    ++FInOpenFile;
    lock.unlock();
    TThumbnailPair pair;
    try {
        pair = FView->OpenFile(FFiles[i]);
    } catch (...) {
        pair = {};
    }
    lock.lock();
    --FInOpenFile;
    FDone[size_t(i)] = std::move(pair);
    FChanged.notify_all();
    return true;
}

bool TLoadJob::RepaintAndWait(bool last)
{
    {
        std::lock_guard lock(FMutex);
        FRepainted = false;
    }
    PostToUi([self = shared_from_this(), last] {
        if (!self->IsCancelled()) {
            self->FView->Repaint();
            self->FFinished = last;
        }
        std::lock_guard lock(self->FMutex);
        self->FRepainted = true;
        self->FChanged.notify_all();
    });
    std::unique_lock lock(FMutex);
    FChanged.wait(lock, [this] { return FRepainted || FCancelled; });
    return !FCancelled;
}
