// Completions of device jobs delivered to the window thread as posted events.

#include "app/ui/WindowPoster.h"

#include <QCoreApplication>
#include <QEvent>

#include <mutex>
#include <utility>

namespace {

const QEvent::Type kCompletionEvent = static_cast<QEvent::Type>(QEvent::registerEventType());

class CCompletionEvent : public QEvent {
public:
    explicit CCompletionEvent(std::function<void()> run)
        : QEvent(kCompletionEvent), run_(std::move(run)) {}
    void Run() {
        if (run_) {
            run_();
        }
    }

private:
    std::function<void()> run_;
};

}  // namespace

// Shared with every copy of the poster: the runner to post to, cleared under
// the lock when the window goes, so a worker never posts to a dead object.
struct CWindowPoster::Target {
    std::mutex mutex;
    QObject* runner = nullptr;
};

class CWindowPoster::Runner : public QObject {
public:
    Runner(QObject* owner, std::shared_ptr<Target> target)
        : QObject(owner), target_(std::move(target)) {
        std::lock_guard lock(target_->mutex);
        target_->runner = this;
    }
    ~Runner() override { Detach(); }

    void Detach() {
        std::lock_guard lock(target_->mutex);
        target_->runner = nullptr;
    }

    bool event(QEvent* e) override {
        if (e->type() == kCompletionEvent) {
            static_cast<CCompletionEvent*>(e)->Run();
            return true;
        }
        return QObject::event(e);
    }

private:
    std::shared_ptr<Target> target_;
};

CWindowPoster::CWindowPoster(QObject* owner) : target_(std::make_shared<Target>()) {
    runner_ = new Runner(owner, target_);
}

CWindowPoster::~CWindowPoster() {
    // The runner is the owner's child: the owner may already have deleted
    // it (then it detached itself); otherwise stop posting to it now.
    std::lock_guard lock(target_->mutex);
    target_->runner = nullptr;
}

Poster CWindowPoster::Get() const {
    std::shared_ptr<Target> target = target_;
    return [target](std::function<void()> completion) {
        std::lock_guard lock(target->mutex);
        if (target->runner != nullptr) {
            QCoreApplication::postEvent(target->runner,
                                        new CCompletionEvent(std::move(completion)));
        }
    };
}
