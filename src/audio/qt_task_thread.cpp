#include "audio/qt_task_thread.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QObject>

namespace kestrova::audio {

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
    QObject receiver; // created here, so calls queued to it run on this thread
    {
        std::lock_guard lock(mutex_);
        receiver_ = &receiver;
        loop_ = &loop;
    }
    if (!Drain()) {
        loop.exec();
    }
    // Drains still queued to the receiver are discarded with it.
    std::lock_guard lock(mutex_);
    receiver_ = nullptr;
    loop_ = nullptr;
}

void QtTaskThread::WakeLocked() {
    if (receiver_ == nullptr) {
        return;
    }
    QMetaObject::invokeMethod(
        receiver_,
        [this] {
            if (Drain()) {
                loop_->quit();
            }
        },
        Qt::QueuedConnection);
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
    WakeLocked();
    cv_.wait(lock, [&] { return done_ >= ticket; });
}

void QtTaskThread::Stop() {
    if (!thread_.joinable()) {
        return;
    }
    {
        std::lock_guard lock(mutex_);
        quit_ = true;
        WakeLocked();
    }
    thread_.join();
}

} // namespace kestrova::audio
