// The OpenGL pieces of the 3D relief view's frame, usable with any current context: the
// background gradient, the lighting, the relief surface kept in a buffer object and the 2D
// overlay.
#pragma once

#include "model3d/mesh_arrays.h"
#include "core/design_results.h"

namespace pedaform {

// Material and light, in order: ambient-and-diffuse RGBA, specular RGBA, shininess, light
// position (directional), light diffuse RGBA.
struct MaterialBlock {
    float ambient_diffuse[4] = {0.9f, 0.9f, 0.8f, 0.3f};
    float specular[4] = {0.5f, 0.5f, 0.5f, 0.3f};
    float shininess = 50.0f;
    float light_position[4] = {0.5f, 0.5f, 1.0f, 0.0f};
    float light_diffuse[4] = {0.8f, 0.8f, 0.8f, 0.8f};
};

// Pixel-aligned 2D drawing over the frame, without depth test, lighting or texture.
void overlay_begin(int w, int h);
void overlay_end();

// The vertical grey gradient, light at the bottom.
void draw_background(int w, int h);

// Colour material and one directional light, with an identity model-view so that the light
// stays fixed relative to the viewer.
void light_setup(const MaterialBlock &m);

// The relief surface in buffer objects of the current context: filled only when the relief,
// its colours or the pressure switch change, then drawn every frame from the buffer, so that a
// frame sends no vertex data. The buffer is made on the first fill; it goes with its context.
class SurfaceBuffer {
  public:
    // Refills the buffers with build_surface_arrays of `results` (insole_relief, and colour_grid
    // when `pressure_colours`). Leaves no buffer bound.
    void fill(const DesignResults &results, bool pressure_colours);
    // Draws what the last fill put in, under the current matrices, lighting and colour
    // material, with GL_NORMALIZE on while it draws and smooth shading. Client array state is
    // restored; the current colour is left undefined (OpenGL's rule after drawing from a
    // colour array).
    void draw() const;
    // The context the buffer lived in is gone: the next fill makes a new one.
    void forget() {
        buffers_[0] = buffers_[1] = 0;
        index_count_ = 0;
    }

  private:
    unsigned buffers_[2] = {0, 0};  // vertices, indices
    int index_count_ = 0;
};

}  // namespace pedaform
