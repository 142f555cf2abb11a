#pragma once

// The device worker's way back to a window: a Poster (app/DeviceWorker.h)
// that hands each completion to the window thread as a posted event, run
// there in posting order. The poster may outlive its window: once the window
// (the poster's owner) is destroyed, completions posted later are dropped,
// and those already queued are discarded with the window's posted events.
//
//   CWindowPoster poster(this);              // a member of the window
//   worker.Post("Get Version", work, poster.Get(), done);

#include <QObject>

#include <memory>

#include "app/DeviceWorker.h"

class CWindowPoster {
public:
    // `owner` lives on the window thread; the completions run on its thread.
    explicit CWindowPoster(QObject* owner);
    ~CWindowPoster();
    CWindowPoster(const CWindowPoster&) = delete;
    CWindowPoster& operator=(const CWindowPoster&) = delete;

    // Callable from any thread, for as long as anyone keeps a copy.
    Poster Get() const;

private:
    struct Target;
    class Runner;
    std::shared_ptr<Target> target_;
    Runner* runner_ = nullptr;  // a child of the owner
};
