#include "audio/qt_task_thread.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

namespace kestrova::audio {
namespace {

// How often the loop looks for work: short against the half period of the sound
// buffer, long enough not to cost anything.
constexpr int kPollMs = 2;

} // namespace

bool QtTaskThread::Start() {
    if (thread_.joinable()) {
        return true;
    }
    if (QCoreApplication::instance() == nullptr) {
        return false;
    }
    {
        std::lock_guard lock(mutex_);
        quit_ = false;
    }
    thread_ = std::thread([this] { Loop(); });
    return true;
}

void QtTaskThread::Loop() {
    QEventLoop loop;
    QTimer poll;
    poll.setInterval(kPollMs);
    QObject::connect(&poll, &QTimer::timeout, &loop, [this, &loop] {
        if (Drain()) {
            loop.quit();
        }
    });
    poll.start();
    if (!Drain()) {
        loop.exec();
    }
}

bool QtTaskThread::Drain() {
    std::unique_lock lock(mutex_);
    while (!tasks_.empty()) {
        const std::function<void()>* task = tasks_.front();
        tasks_.pop_front();
        lock.unlock();
        (*task)();
        lock.lock();
        ++done_;
        cv_.notify_all();
    }
    return quit_;
}

void QtTaskThread::Run(const std::function<void()>& task) {
    if (!thread_.joinable() || std::this_thread::get_id() == thread_.get_id()) {
        task();
        return;
    }
    std::unique_lock lock(mutex_);
    tasks_.push_back(&task);
    const std::uint64_t ticket = ++queued_;
    cv_.wait(lock, [&] { return done_ >= ticket; });
}

void QtTaskThread::Stop() {
    if (!thread_.joinable()) {
        return;
    }
    {
        std::lock_guard lock(mutex_);
        quit_ = true;
    }
    thread_.join();
}

} // namespace kestrova::audio
