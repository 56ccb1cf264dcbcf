#include "gl/relief_view_gl.h"

#include <GL/gl.h>
#include <GL/glext.h>
#include <GL/glu.h>

namespace pedaform {

void overlay_begin(int w, int h) {
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    glTranslatef(0.375f, 0.375f, 0);  // pixel centres for exact 2D rasterisation
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    gluOrtho2D(0, w, 0, h);
    glMatrixMode(GL_MODELVIEW);
    glPushAttrib(GL_ENABLE_BIT);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_LIGHTING);
    glDisable(GL_TEXTURE_2D);
}

void overlay_end() {
    glPopAttrib();
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
}

void draw_background(int w, int h) {
    overlay_begin(w, h);
    glBegin(GL_QUADS);
    glColor3f(0.8f, 0.8f, 0.8f);
    glVertex2i(0, 0);
    glVertex2i(w, 0);
    glColor3f(0.2f, 0.2f, 0.2f);
    glVertex2i(w, h);
    glVertex2i(0, h);
    glEnd();
    overlay_end();
}

void light_setup(const MaterialBlock &m) {
    glEnable(GL_COLOR_MATERIAL);
    glColorMaterial(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE);
    glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE, m.ambient_diffuse);
    glMaterialfv(GL_FRONT_AND_BACK, GL_SPECULAR, m.specular);
    glMaterialf(GL_FRONT_AND_BACK, GL_SHININESS, m.shininess);
    glEnable(GL_LIGHTING);
    glLightfv(GL_LIGHT0, GL_DIFFUSE, m.light_diffuse);
    glLightfv(GL_LIGHT0, GL_POSITION, m.light_position);
    glEnable(GL_LIGHT0);
}

namespace {

constexpr GLsizeiptr kVertexBytes = kMeshVertexFloats * sizeof(float);
constexpr GLsizeiptr kVertexBufferBytes = kMeshVertices * kVertexBytes;
constexpr GLsizeiptr kIndexBufferBytes = kMaxMeshIndices * sizeof(uint32_t);

const void *byte_offset(size_t n) {
    return reinterpret_cast<const void *>(n);
}

}  // namespace

void SurfaceBuffer::fill(const DesignResults &ws, bool pressure_colours) {
    if (buffers_[0] == 0) {
        // Room for the largest surface once; a fill rewrites it in place.
        glGenBuffers(2, buffers_);
        glBindBuffer(GL_ARRAY_BUFFER, buffers_[0]);
        glBufferData(GL_ARRAY_BUFFER, kVertexBufferBytes, nullptr, GL_DYNAMIC_DRAW);
        glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, buffers_[1]);
        glBufferData(GL_ELEMENT_ARRAY_BUFFER, kIndexBufferBytes, nullptr, GL_DYNAMIC_DRAW);
    }
    glBindBuffer(GL_ARRAY_BUFFER, buffers_[0]);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, buffers_[1]);
    // The arrays are built straight into the buffers' memory: no copy in between.
    const GLbitfield access = GL_MAP_WRITE_BIT | GL_MAP_INVALIDATE_BUFFER_BIT;
    void *vertices = glMapBufferRange(GL_ARRAY_BUFFER, 0, kVertexBufferBytes, access);
    void *indices = glMapBufferRange(GL_ELEMENT_ARRAY_BUFFER, 0, kIndexBufferBytes, access);
    index_count_ = 0;
    int count = 0;
    if (vertices != nullptr && indices != nullptr)
        count =
            build_surface_arrays(ws.insole_relief, pressure_colours ? ws.colour_grid : nullptr,
                                 static_cast<float *>(vertices), static_cast<uint32_t *>(indices));
    // A false unmap means the contents were lost (the display changed mode): draw nothing.
    const bool kept_vertices = vertices != nullptr && glUnmapBuffer(GL_ARRAY_BUFFER) == GL_TRUE;
    const bool kept_indices =
        indices != nullptr && glUnmapBuffer(GL_ELEMENT_ARRAY_BUFFER) == GL_TRUE;
    if (kept_vertices && kept_indices) index_count_ = count;
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);
    glBindBuffer(GL_ARRAY_BUFFER, 0);
}

void SurfaceBuffer::draw() const {
    if (index_count_ == 0) return;
    glEnable(GL_NORMALIZE);  // the model-view scales by the zoom
    glShadeModel(GL_SMOOTH);
    glPushClientAttrib(GL_CLIENT_VERTEX_ARRAY_BIT);
    glBindBuffer(GL_ARRAY_BUFFER, buffers_[0]);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, buffers_[1]);
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_NORMAL_ARRAY);
    glEnableClientState(GL_COLOR_ARRAY);
    glVertexPointer(3, GL_FLOAT, kVertexBytes, byte_offset(0));
    glNormalPointer(GL_FLOAT, kVertexBytes, byte_offset(3 * sizeof(float)));
    glColorPointer(3, GL_FLOAT, kVertexBytes, byte_offset(6 * sizeof(float)));
    glDrawElements(GL_TRIANGLES, index_count_, GL_UNSIGNED_INT, byte_offset(0));
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    glPopClientAttrib();
    glDisable(GL_NORMALIZE);
}

}  // namespace pedaform
