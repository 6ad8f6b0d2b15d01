// Fixed-function drawing of scene records: light objects, pivot hinges and the
// solid, wire, unlit and outline modes.
#include "scene/scene_internal.h"

#include <GL/gl.h>

namespace {
const GLenum lname[8] = {GL_LIGHT0, GL_LIGHT1, GL_LIGHT2, GL_LIGHT3,
                         GL_LIGHT4, GL_LIGHT5, GL_LIGHT6, GL_LIGHT7};
int lighti = 0; // slot that the next light object takes

// Stands in for a group without a material in records built by hand; loaded
// scenes give every group with faces a material.
const material& material_of(const group* g) {
    static material grey = [] {
        material m{};
        set_default_material(&m);
        return m;
    }();
    return g->material ? *g->material : grey;
}

void render_light(scene* s, object* o) {
    const group* g = o->groups;
    const face* f = g ? g->faces : nullptr;
    // Slots past the eighth are not lit; each render_scene starts at slot 0.
    if (!f || f->n < 1 || lighti >= 8) return;
    const material& m = material_of(g);
    const float* p = &s->v[3 * f->vi[0]];
    GLenum l = lname[lighti++];
    glEnable(l);
    glLightfv(l, GL_AMBIENT, m.ka);
    glLightfv(l, GL_SPECULAR, m.ks);
    glLightfv(l, GL_DIFFUSE, m.kd);
    const float position[4] = {p[0], p[1], p[2], 0.0f}; // directional
    glLightfv(l, GL_POSITION, position);
    glLightf(l, GL_CONSTANT_ATTENUATION, 1.0f);
    glLightf(l, GL_LINEAR_ATTENUATION, 0.0f);
    glLightf(l, GL_QUADRATIC_ATTENUATION, 0.0f);
    glLightf(l, GL_SPOT_CUTOFF, 180.0f);
}

void vertex(const scene* s, int vi, const float* o) {
    const float* p = &s->v[3 * vi];
    glVertex3f(p[0] - o[0], p[1] - o[1], p[2] - o[2]);
}

void render_outline(scene* s, object* obj, const float* o) {
    glLineWidth(8.0f);
    glColor3f(0.0f, 0.0f, 0.0f);
    glDisable(GL_LIGHTING);
    glEnable(GL_CULL_FACE);
    // Back faces as wide black lines, pushed behind the front faces, leave
    // only the silhouette visible around the filled front faces.
    glCullFace(GL_FRONT);
    glPolygonMode(GL_BACK, GL_LINE);
    glEnable(GL_POLYGON_OFFSET_LINE);
    glPolygonOffset(1.0f, 1.0f);
    for (group* g = obj->groups; g; g = g->next) {
        if (g->list == -1) {
            g->list = static_cast<int32_t>(glGenLists(1));
            glNewList(g->list, GL_COMPILE);
            for (const face* f = g->faces; f; f = f->next) {
                glBegin(GL_POLYGON);
                for (int k = 0; k < f->n; ++k)
                    vertex(s, f->vi[k], o);
                glEnd();
            }
            glEndList();
        }
        glCallList(g->list);
    }
    glDisable(GL_POLYGON_OFFSET_LINE);
    glCullFace(GL_BACK);
    glEnable(GL_POLYGON_OFFSET_FILL);
    glPolygonOffset(0.0f, 0.0f);
    for (group* g = obj->groups; g; g = g->next) {
        const material& m = material_of(g);
        glColor3f(m.kd[0], m.kd[1], m.kd[2]);
        glCallList(g->list);
    }
    glDisable(GL_POLYGON_OFFSET_FILL);
}

void render_faces(scene* s, object* obj, int32_t flags, const float* o) {
    // The culled face is whichever the caller selected (back by default).
    if (flags & RENDER_SOLID)
        glEnable(GL_CULL_FACE);
    else
        glDisable(GL_CULL_FACE);
    glLineWidth(2.0f);
    lighti = 0;
    for (group* g = obj->groups; g; g = g->next) {
        const material& m = material_of(g);
        if (flags & RENDER_UNLIT) {
            glColor3fv(m.kd);
        } else {
            glMaterialfv(GL_FRONT, GL_DIFFUSE, m.kd);
            glMaterialfv(GL_FRONT, GL_AMBIENT, m.ka);
            glMaterialfv(GL_FRONT, GL_SPECULAR, m.ks);
            glMaterialf(GL_FRONT, GL_SHININESS, m.ns);
        }
        bool textured = m.pixels != nullptr;
        if (textured) {
            glEnable(GL_TEXTURE_2D);
            glBindTexture(GL_TEXTURE_2D, m.texture);
        } else {
            glDisable(GL_TEXTURE_2D);
        }
        for (const face* f = g->faces; f; f = f->next) {
            glBegin((flags & RENDER_SOLID) ? GL_POLYGON : GL_LINE_LOOP);
            for (int k = 0; k < f->n; ++k) {
                glNormal3fv(&s->vn[3 * f->ni[k]]);
                // A reference without a texture coordinate sends none.
                if (textured && f->ti[k] >= 0) glTexCoord2fv(&s->vt[3 * f->ti[k]]);
                vertex(s, f->vi[k], o);
            }
            glEnd();
        }
    }
}
} // namespace

void render_scene(scene* s, int32_t flags) {
    glPushAttrib(GL_ALL_ATTRIB_BITS);
    lighti = 0;
    if (s->has_lights)
        for (GLenum l : lname)
            glDisable(l);
    if (flags & RENDER_SOLID)
        for (object* o = s->objects; o; o = o->next)
            if (o->type == OBJECT_LIGHT) render_object(s, o, 0);
    for (object* o = s->objects; o; o = o->next)
        if (o->type != OBJECT_LIGHT) render_object(s, o, flags);
    glPopAttrib();
}

void render_object(scene* s, object* obj, int32_t flags) {
    if (obj->type == OBJECT_PIVOT) return;
    glPushMatrix();
    const float none[3] = {0.0f, 0.0f, 0.0f};
    const float* o = none;
    if (const object* p = obj->pivot) {
        glTranslatef(p->origin[0], p->origin[1], p->origin[2]);
        glRotatef(obj->angle, p->axis[0], p->axis[1], p->axis[2]);
        o = p->origin;
    }
    if (obj->type == OBJECT_LIGHT) {
        render_light(s, obj);
    } else {
        if (flags & RENDER_UNLIT)
            glDisable(GL_LIGHTING);
        else
            glEnable(GL_LIGHTING);
        if (flags & RENDER_OUTLINE)
            render_outline(s, obj, o);
        else
            render_faces(s, obj, flags, o);
    }
    glPopMatrix();
}
