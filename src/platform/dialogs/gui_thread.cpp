#include "platform/dialogs/gui_thread.h"

#include <QCoreApplication>
#include <QDialog>
#include <QPointer>
#include <QThread>
#include <array>
#include <condition_variable>
#include <memory>
#include <mutex>

namespace sonoleaf::dialogs {

namespace {

// One call's completion, shared between the waiting thread and the GUI thread.
struct Completion {
    std::mutex mutex;
    std::condition_variable changed;
    bool finished = false;
    bool ran = false;

    void Finish(bool didRun) {
        {
            std::lock_guard lock(mutex);
            if (finished) return;
            finished = true;
            ran = didRun;
        }
        changed.notify_all();
    }
    bool IsFinished() {
        std::lock_guard lock(mutex);
        return finished;
    }
};

// Qt's event queue runs a posted call only after it was posted, but Qt is not built
// with ThreadSanitizer, which cannot see that order and would take everything handed
// over with the call for a race. Posting under this lock, and taking it where the call
// arrives before touching what came with it, shows the same order through a lock the
// tool sees. It is held only while a call is being queued, never while one runs;
// recursive, as a call that cannot be queued is destroyed while it is held.
std::recursive_mutex& PostingMutex() {
    static std::recursive_mutex mutex;
    return mutex;
}

void Arrived() {
    const std::lock_guard lock(PostingMutex());
}

// Travels inside the queued call; when the call is dropped unrun (the application
// went away first) its destruction still releases the waiter.
class Releaser {
  public:
    explicit Releaser(std::shared_ptr<Completion> completion)
        : completion_(std::move(completion)) {}
    Releaser(const Releaser&) = delete;
    Releaser& operator=(const Releaser&) = delete;
    ~Releaser() {
        Arrived();
        completion_->Finish(false);
    }

  private:
    std::shared_ptr<Completion> completion_;
};

void WaitOnGuiThread(Completion& completion) {
    while (!completion.IsFinished()) {
        if (QCoreApplication::instance() == nullptr) return;
        // Sleeps until an event comes; the dialog's end arrives as one.
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    }
}

}  // namespace

bool OnGuiThread() {
    const QCoreApplication* app = QCoreApplication::instance();
    return app != nullptr && QThread::currentThread() == app->thread();
}

bool RunOnGuiThread(const std::function<void()>& work) {
    QCoreApplication* app = QCoreApplication::instance();
    if (app == nullptr) return false;
    if (QThread::currentThread() == app->thread()) {
        work();
        return true;
    }
    auto completion = std::make_shared<Completion>();
    bool posted = false;
    {
        const std::lock_guard posting(PostingMutex());
        posted = QMetaObject::invokeMethod(
            app,
            [work, completion, releaser = std::make_shared<Releaser>(completion)]() {
                Arrived();
                work();
                completion->Finish(true);
            },
            Qt::QueuedConnection);
    }
    if (!posted) return false;
    std::unique_lock lock(completion->mutex);
    completion->changed.wait(lock, [&] { return completion->finished; });
    return completion->ran;
}

void OpenAndWait(const std::function<QDialog*()>& open) {
    auto closed = std::make_shared<Completion>();
    const bool ran = RunOnGuiThread([&open, closed] {
        QDialog* dialog = open();
        if (dialog == nullptr) {
            closed->Finish(true);
            return;
        }
        auto links = std::make_shared<std::array<QMetaObject::Connection, 2>>();
        auto finish = [closed, links] {
            QObject::disconnect((*links)[0]);
            QObject::disconnect((*links)[1]);
            closed->Finish(true);
        };
        (*links)[0] = QObject::connect(dialog, &QDialog::finished, dialog, finish);
        (*links)[1] = QObject::connect(dialog, &QObject::destroyed, finish);
    });
    if (!ran) return;
    if (OnGuiThread()) {
        WaitOnGuiThread(*closed);
        return;
    }
    std::unique_lock lock(closed->mutex);
    closed->changed.wait(lock, [&] { return closed->finished; });
}

}  // namespace sonoleaf::dialogs
