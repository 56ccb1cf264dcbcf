#include "design/side_by_side.h"

#include "core/console.h"

namespace pedaform {

SideBySide::~SideBySide() {
    if (!thread_.joinable()) return;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        quit_ = true;
    }
    changed_.notify_all();
    thread_.join();
}

void SideBySide::run(const std::function<void()> &mine, const std::function<void()> &theirs) {
    if (!thread_.joinable()) thread_ = std::thread([this] { serve(); });
    {
        std::lock_guard<std::mutex> lock(mutex_);
        lines_.clear();
        thrown_ = nullptr;
        job_ = &theirs;
    }
    changed_.notify_all();
    // The helper may not outlive what `theirs` refers to: it is waited for whatever `mine` does.
    std::exception_ptr mine_thrown;
    try {
        mine();
    } catch (...) {
        mine_thrown = std::current_exception();
    }
    {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, [this] { return job_ == nullptr; });
    }
    console_write(lines_);
    if (mine_thrown) std::rethrow_exception(mine_thrown);
    if (thrown_) std::rethrow_exception(thrown_);
}

void SideBySide::serve() {
    capture_console_lines(&lines_);
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        changed_.wait(lock, [this] { return quit_ || job_ != nullptr; });
        if (quit_) return;
        lock.unlock();
        try {
            (*job_)();
        } catch (...) {
            thrown_ = std::current_exception();
        }
        lock.lock();
        job_ = nullptr;
        changed_.notify_all();
    }
}

}  // namespace pedaform
