#include "LoadJob.h"

#include <QCoreApplication>
#include <QThreadPool>

TLoadJob::TLoadJob(TThumbnails *view, QStringList files)
    : FView(view), FFiles(std::move(files)), FDone(size_t(FFiles.size()))
{
}

void TLoadJob::Start()
{
    QThreadPool::globalInstance()->start([self = shared_from_this()] { self->Run(); });
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

void TLoadJob::PostToUi(std::function<void()> call)
{
    // qApp outlives every view; a call that arrives after Cancel does nothing.
    QMetaObject::invokeMethod(qApp, std::move(call), Qt::QueuedConnection);
}

void TLoadJob::Run()
{
    if (IsCancelled())
        return;
    try {
        const int n = int(FFiles.size());
        const int helpers = qMin(QThreadPool::globalInstance()->maxThreadCount() - 1, n - 1);
        for (int h = 0; h < helpers; ++h)
            QThreadPool::globalInstance()->start([self = shared_from_this()] { self->Help(); });

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
