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

#include <memory>

#include "design/design.h"

namespace pedaform {

// Renders the stamped pad in an off-screen context made on the first request.
class OffscreenStampRenderer : public StampRenderer {
  public:
    Result render(Workspace &ws, double width, double length, double height) override;

  private:
    std::unique_ptr<OffscreenContext> context_;
    std::string context_error_;
};

}  // namespace pedaform
