// An off-screen OpenGL context: EGL on Mesa's surfaceless platform, which needs no display
// server. Only framebuffer objects are drawn into. The tests check the CPU pad stamp against
// the OpenGL one in it.
#pragma once

#include <string>

#include "core/result.h"

namespace pedaform {

class OffscreenContext {
  public:
    OffscreenContext() = default;
    ~OffscreenContext();
    OffscreenContext(const OffscreenContext &) = delete;
    OffscreenContext &operator=(const OffscreenContext &) = delete;

    // Makes a desktop OpenGL context current on this thread; fails with why when none could
    // be made.
    Result<> create();

  private:
    void *display_ = nullptr;
    void *context_ = nullptr;
};

}  // namespace pedaform
