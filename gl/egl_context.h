// An off-screen OpenGL context for the batch command: EGL on Mesa's surfaceless platform,
// which needs no display server. Only framebuffer objects are drawn into.
#pragma once

#include <string>

namespace pedaform {

class OffscreenContext {
  public:
    OffscreenContext() = default;
    ~OffscreenContext();
    OffscreenContext(const OffscreenContext &) = delete;
    OffscreenContext &operator=(const OffscreenContext &) = delete;

    // Makes a desktop OpenGL context current on this thread. Returns false and sets `error`
    // when none could be made.
    bool create(std::string &error);

  private:
    void *display_ = nullptr;
    void *context_ = nullptr;
};

}  // namespace pedaform
