#include "audio/qt_task_thread.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QSocketNotifier>
#include <sys/eventfd.h>
#include <unistd.h>

namespace kestrova::audio {

bool QtTaskThread::Start() {
    if (thread_.joinable()) {
        return true;
    }
    if (QCoreApplication::instance() == nullptr) {
        return false;
    }
    wakeFd_ = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (wakeFd_ < 0) {
        return false;
    }
    {
        std::lock_guard lock(mutex_);
        quit_ = false;
    }
    try {
        thread_ = std::thread([this] { Loop(); });
    } catch (...) {
        close(wakeFd_);
        wakeFd_ = -1;
        return false;
    }
    return true;
}

void QtTaskThread::Loop() {
    QEventLoop loop;
    QSocketNotifier notifier(wakeFd_, QSocketNotifier::Read);
    QObject::connect(&notifier, &QSocketNotifier::activated, &loop, [this, &loop] {
        eventfd_t count = 0;
        eventfd_read(wakeFd_, &count);
        if (Drain()) {
            loop.quit();
        }
    });
    if (!Drain()) {
        loop.exec();
    }
}

void QtTaskThread::Wake() {
    eventfd_write(wakeFd_, 1);
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
    Wake();
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
    Wake();
    thread_.join();
    close(wakeFd_);
    wakeFd_ = -1;
}

} // namespace kestrova::audio
