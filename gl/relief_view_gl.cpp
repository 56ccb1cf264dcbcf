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

void draw_relief_mesh_immediate(const Workspace &ws, bool pressure_colours) {
    const uint8_t *relief = ws.relief_grid;
    glEnable(GL_NORMALIZE);
    glColor4f(kSurfaceColour[0], kSurfaceColour[1], kSurfaceColour[2], 1.0f);
    glPushMatrix();
    glBegin(GL_TRIANGLES);
    for (int r = 0; r < kGridHeight - 1; ++r)
        for (int c = 0; c < kGridWidth - 1; ++c) {
            if (!mesh_cell_drawn(relief, r, c)) continue;
            const int i = r * kGridWidth + c;
            if (pressure_colours)
                glColor3f(ws.colour_grid[3 * i] / 255.0f, ws.colour_grid[3 * i + 1] / 255.0f,
                          ws.colour_grid[3 * i + 2] / 255.0f);
            const CellQuad q = cell_quad(relief, r, c);
            glNormal3fv(q.n1);
            glVertex3fv(q.p[0]);
            glVertex3fv(q.p[1]);
            glVertex3fv(q.p[2]);
            glNormal3fv(q.n2);
            glVertex3fv(q.p[2]);
            glVertex3fv(q.p[3]);
            glVertex3fv(q.p[0]);
        }
    glEnd();
    glPopMatrix();
    glDisable(GL_NORMALIZE);
}

void draw_relief_mesh_arrays(const Workspace &ws, bool pressure_colours, MeshArrays &mesh,
                             unsigned &stream_buffer) {
    build_mesh_arrays(ws, pressure_colours, mesh);
    if (stream_buffer == 0) glGenBuffers(1, &stream_buffer);
    const GLsizeiptr bytes = static_cast<GLsizeiptr>(mesh.vertex_count) * 3 * sizeof(float);
    // Re-specified every frame (the old contents are dropped), so nothing of an earlier frame
    // is kept; handing the driver one buffer is faster than letting it copy client memory.
    glBindBuffer(GL_ARRAY_BUFFER, stream_buffer);
    glBufferData(GL_ARRAY_BUFFER, 3 * bytes, nullptr, GL_STREAM_DRAW);
    glBufferSubData(GL_ARRAY_BUFFER, 0, bytes, mesh.position);
    glBufferSubData(GL_ARRAY_BUFFER, bytes, bytes, mesh.normal);
    glBufferSubData(GL_ARRAY_BUFFER, 2 * bytes, bytes, mesh.colour);

    glEnable(GL_NORMALIZE);
    glColor4f(kSurfaceColour[0], kSurfaceColour[1], kSurfaceColour[2], 1.0f);
    glPushMatrix();
    glPushClientAttrib(GL_CLIENT_VERTEX_ARRAY_BIT);
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_NORMAL_ARRAY);
    glEnableClientState(GL_COLOR_ARRAY);
    glVertexPointer(3, GL_FLOAT, 0, nullptr);
    glNormalPointer(GL_FLOAT, 0, reinterpret_cast<const void *>(bytes));
    glColorPointer(3, GL_FLOAT, 0, reinterpret_cast<const void *>(2 * bytes));
    glDrawArrays(GL_TRIANGLES, 0, mesh.vertex_count);
    glPopClientAttrib();
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    glPopMatrix();
    glDisable(GL_NORMALIZE);
    // Leave the current colour as the immediate-mode surface leaves it.
    if (mesh.vertex_count > 0) glColor3fv(&mesh.colour[3 * (mesh.vertex_count - 1)]);
}

}  // namespace pedaform
