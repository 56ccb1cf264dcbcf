// The OpenGL pieces of the 3D relief view's frame, usable with any current context: the
// background gradient, the lighting, the relief surface (immediate mode as the reference, and
// client-side arrays rebuilt each frame, which submit the same triangles) and the 2D overlay.
#pragma once

#include "model3d/mesh_arrays.h"
#include "workspace/workspace.h"

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

// The relief surface in immediate mode, two triangles per drawn cell.
void draw_relief_mesh_immediate(const Workspace &ws, bool pressure_colours);

// The same triangles from arrays filled into `mesh` for this frame and handed to OpenGL in one
// buffer object (`stream_buffer`, made on first use in the current context), which is
// re-specified every frame: nothing of an earlier frame is kept.
void draw_relief_mesh_arrays(const Workspace &ws, bool pressure_colours, MeshArrays &mesh,
                             unsigned &stream_buffer);

}  // namespace pedaform
