#include "gl/testsupport/egl_context.h"

#include <EGL/egl.h>
#include <EGL/eglext.h>

#include <cstring>

namespace pedaform {

namespace {

EGLDisplay surfaceless_display() {
    const char *extensions = eglQueryString(EGL_NO_DISPLAY, EGL_EXTENSIONS);
    if (extensions != nullptr && std::strstr(extensions, "EGL_MESA_platform_surfaceless")) {
        auto get_platform_display = reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(
            eglGetProcAddress("eglGetPlatformDisplayEXT"));
        if (get_platform_display != nullptr) {
            EGLDisplay d =
                get_platform_display(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
            if (d != EGL_NO_DISPLAY) return d;
        }
    }
    return eglGetDisplay(EGL_DEFAULT_DISPLAY);
}

}  // namespace

OffscreenContext::~OffscreenContext() {
    if (display_ == nullptr) return;
    eglMakeCurrent(display_, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
    if (context_ != nullptr) eglDestroyContext(display_, context_);
    eglTerminate(display_);
}

Result<> OffscreenContext::create() {
    EGLDisplay display = surfaceless_display();
    EGLint major = 0, minor = 0;
    if (display == EGL_NO_DISPLAY || !eglInitialize(display, &major, &minor))
        return Result<>::failure("no EGL display could be opened");
    display_ = display;
    if (!eglBindAPI(EGL_OPENGL_API)) return Result<>::failure("EGL offers no desktop OpenGL");
    const EGLint config_attributes[] = {EGL_RENDERABLE_TYPE, EGL_OPENGL_BIT, EGL_NONE};
    EGLConfig config = nullptr;
    EGLint count = 0;
    if (!eglChooseConfig(display, config_attributes, &config, 1, &count) || count < 1)
        config = nullptr;
    // A compatibility context: the stamp is drawn with the fixed-function pipeline.
    const EGLint context_attributes[] = {EGL_NONE};
    EGLContext context = eglCreateContext(display, config, EGL_NO_CONTEXT, context_attributes);
    if (context == EGL_NO_CONTEXT)
        return Result<>::failure("no OpenGL context could be created (EGL error " +
                                 std::to_string(eglGetError()) + ")");
    context_ = context;
    if (!eglMakeCurrent(display, EGL_NO_SURFACE, EGL_NO_SURFACE, context))
        return Result<>::failure("the OpenGL context cannot be made current without a surface");
    return Result<>::success();
}

}  // namespace pedaform
