#pragma once
// One load of a TThumbnails: decodes on every pool thread it can get, and
// hands the entries to the UI thread strictly in list order, with a waited-for
// repaint after every fifth entry and at the end.
#include <QStringList>

#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "Thumbnails.h"

class TLoadJob : public std::enable_shared_from_this<TLoadJob> {
public:
    TLoadJob(TThumbnails *view, QStringList files);

    void Start();
    // Called on the UI thread. From its return on, nothing of this load
    // reaches the view; threads waiting in the repaint hand-over are released.
    void Cancel();
    // Cancel, then wait until no thread is inside OpenFile.
    void CancelAndWaitForOpenFile();
    bool IsCancelled() const { return FCancelled.load(); }
    // True once the final repaint has been handed over.
    bool IsFinished() const { return FFinished.load(); }

private:
    void Run();
    void Help();
    bool Await(int k, TThumbnailPair &pair);
    bool DecodeNext(std::unique_lock<std::mutex> &lock);
    bool RepaintAndWait(bool last = false);
    template <class F>
    void PostToUi(F call);

    // How many entries may wait decoded ahead of the one due next.
    static constexpr int kLookahead = 16;

    TThumbnails *const FView; // touched on the UI thread only, while not cancelled
    const QStringList FFiles;
    std::atomic<bool> FCancelled = false;
    std::atomic<bool> FFinished = false;
    std::mutex FMutex;
    std::condition_variable FChanged;
    std::vector<std::optional<TThumbnailPair>> FDone;
    int FClaimed = 0;
    int FDue = 0;
    int FInOpenFile = 0;
    bool FRepainted = false;
};
