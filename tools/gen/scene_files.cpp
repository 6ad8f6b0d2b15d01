#include "tools/gen/scene_files.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

bool write_tga(const std::string& path, const Image& img) {
    if (img.w % 4 || img.w & (img.w - 1) || img.h & (img.h - 1) || img.w > 65535 || img.h > 65535) {
        std::fprintf(stderr, "ninefold_gen: %s: texture size %dx%d not allowed\n", path.c_str(),
                     img.w, img.h);
        return false;
    }
    std::vector<unsigned char> out(18 + size_t(img.w) * img.h * 3, 0);
    out[2] = 2; // uncompressed true colour
    out[12] = img.w & 255, out[13] = img.w >> 8;
    out[14] = img.h & 255, out[15] = img.h >> 8;
    out[16] = 24;
    size_t k = 18;
    for (int y = 0; y < img.h; ++y)
        for (int x = 0; x < img.w; ++x) {
            const float* p = img.at(x, y);
            for (int c = 2; c >= 0; --c)
                out[k++] = (unsigned char)std::lround(std::clamp(p[c], 0.f, 1.f) * 255);
        }
    return write_text(path, std::string(out.begin(), out.end()));
}

static std::string fmt(const char* f, double a, double b, double c) {
    char buf[96];
    std::snprintf(buf, sizeof buf, f, a, b, c);
    return buf;
}

void ObjBuilder::object(const std::string& name) {
    body += "o " + name + "\n";
}

void ObjBuilder::group(const std::string& name, const Material& m) {
    body += "g " + name + "\nusemtl " + m.name + "\n";
    textured = !m.map_kd.empty();
}

void ObjBuilder::polygon_smooth(const std::vector<V3>& pts, const std::vector<V3>& normals,
                                const std::vector<float>& uv) {
    std::string f = "f";
    for (size_t i = 0; i < pts.size(); ++i) {
        v.push_back(pts[i]);
        vn.push_back(normals[i]);
        char ref[48];
        if (textured) {
            vt.push_back(uv[2 * i]);
            vt.push_back(uv[2 * i + 1]);
            std::snprintf(ref, sizeof ref, " %zu/%zu/%zu", v.size(), vt.size() / 2, vn.size());
        } else {
            std::snprintf(ref, sizeof ref, " %zu//%zu", v.size(), vn.size());
        }
        f += ref;
    }
    body += f + "\n";
}

void ObjBuilder::polygon(const std::vector<V3>& pts, const std::vector<float>& uv) {
    // Newell's method: robust for any planar polygon.
    V3 n{0, 0, 0};
    for (size_t i = 0; i < pts.size(); ++i) {
        V3 a = pts[i], b = pts[(i + 1) % pts.size()];
        n.x += (a.y - b.y) * (a.z + b.z);
        n.y += (a.z - b.z) * (a.x + b.x);
        n.z += (a.x - b.x) * (a.y + b.y);
    }
    float len = std::sqrt(n.x * n.x + n.y * n.y + n.z * n.z);
    if (len > 0) n = {n.x / len, n.y / len, n.z / len};
    std::vector<float> tc = uv;
    if (textured && tc.size() < pts.size() * 2) tc.resize(pts.size() * 2, 0.f);
    polygon_smooth(pts, std::vector<V3>(pts.size(), n), tc);
}

void ObjBuilder::box(V3 lo, V3 hi, float upu, float vpu, bool sides_only) {
    float x0 = lo.x, y0 = lo.y, z0 = lo.z, x1 = hi.x, y1 = hi.y, z1 = hi.z;
    float vh = std::min(1.f, (z1 - z0) * vpu);
    auto side = [&](V3 a, V3 b, float width) {
        float u = std::min(1.f, width * upu);
        polygon({a, b, {b.x, b.y, z1}, {a.x, a.y, z1}}, {0, 0, u, 0, u, vh, 0, vh});
    };
    side({x0, y0, z0}, {x1, y0, z0}, x1 - x0);
    side({x1, y0, z0}, {x1, y1, z0}, y1 - y0);
    side({x1, y1, z0}, {x0, y1, z0}, x1 - x0);
    side({x0, y1, z0}, {x0, y0, z0}, y1 - y0);
    if (!sides_only)
        polygon({{x0, y0, z1}, {x1, y0, z1}, {x1, y1, z1}, {x0, y1, z1}}, {0, 0, 1, 0, 1, 1, 0, 1});
}

std::string ObjBuilder::text(const std::string& mtllib) const {
    std::string out = "# ninefold scene, generated\nmtllib " + mtllib + "\n";
    for (V3 p : v)
        out += fmt("v %.5f %.5f %.5f\n", p.x, p.y, p.z);
    for (size_t i = 0; i < vt.size(); i += 2) {
        char buf[64];
        std::snprintf(buf, sizeof buf, "vt %.5f %.5f\n", vt[i], vt[i + 1]);
        out += buf;
    }
    for (V3 p : vn)
        out += fmt("vn %.5f %.5f %.5f\n", p.x, p.y, p.z);
    return out + body;
}

std::string mtl_text(const std::vector<Material>& ms) {
    std::string out = "# ninefold materials, generated\n";
    for (const Material& m : ms) {
        out += "newmtl " + m.name + "\n";
        out += fmt("Ka %.4f %.4f %.4f\n", m.ka.x, m.ka.y, m.ka.z);
        out += fmt("Kd %.4f %.4f %.4f\n", m.kd.x, m.kd.y, m.kd.z);
        out += fmt("Ks %.4f %.4f %.4f\n", m.ks.x, m.ks.y, m.ks.z);
        char ns[48];
        std::snprintf(ns, sizeof ns, "Ns %.2f\n", m.ns);
        out += ns;
        out += "d 1.0\n";
        if (!m.map_kd.empty()) out += "map_Kd " + m.map_kd + "\n";
    }
    return out;
}

bool write_text(const std::string& path, const std::string& text) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) {
        std::fprintf(stderr, "ninefold_gen: %s: cannot create file\n", path.c_str());
        return false;
    }
    bool ok = std::fwrite(text.data(), 1, text.size(), f) == text.size();
    return std::fclose(f) == 0 && ok;
}
