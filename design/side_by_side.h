// A second thread for a pair's linked steps: the other foot's step runs on it while the caller
// runs its own, so that a step on both feet takes about as long as one. The two designs share
// nothing but the read-only resources. What the other foot's step prints reaches the console
// after the caller's lines, as if the two steps had run in turn.
#pragma once

#include <condition_variable>
#include <exception>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

namespace pedaform {

class SideBySide {
  public:
    SideBySide() = default;
    ~SideBySide();
    SideBySide(const SideBySide &) = delete;
    SideBySide &operator=(const SideBySide &) = delete;

    // Runs `theirs` on the helper thread (started at the first run) and `mine` on the caller's;
    // returns when both are done. Not to be called from two threads at once. An exception of
    // either is thrown again here once both are done (`mine`'s first).
    void run(const std::function<void()> &mine, const std::function<void()> &theirs);

  private:
    void serve();

    std::mutex mutex_;
    std::condition_variable changed_;
    const std::function<void()> *job_ = nullptr;  // set by run, cleared by the helper when done
    bool quit_ = false;
    std::string lines_;          // the job's console lines
    std::exception_ptr thrown_;  // the job's exception
    std::thread thread_;
};

}  // namespace pedaform
