// An off-screen OpenGL context for the batch command: EGL on Mesa's surfaceless platform,
// which needs no display server. Only framebuffer objects are drawn into.
#pragma once

#include <string>

#include "workspace/result.h"

namespace pedaform {

class OffscreenContext {
  public:
    OffscreenContext() = default;
    ~OffscreenContext();
    OffscreenContext(const OffscreenContext &) = delete;
    OffscreenContext &operator=(const OffscreenContext &) = delete;

    // Makes a desktop OpenGL context current on this thread; fails with why when none could
    // be made.
    Result create();

  private:
    void *display_ = nullptr;
    void *context_ = nullptr;
};

}  // namespace pedaform

#include <memory>

#include "design/design.h"

namespace pedaform {

// Renders the stamped pad in an off-screen context made on the first request.
class OffscreenStampRenderer : public StampRenderer {
  public:
    Result render(const Resources &resources, int32_t mirrored, double width, double length,
                  double height, uint8_t (&stamp)[kPadStampBytes], int32_t &stride) override;

  private:
    std::unique_ptr<OffscreenContext> context_;
    std::string context_error_;
};

}  // namespace pedaform
