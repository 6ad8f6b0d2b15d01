#include "tools/gen/scenes.h"

#include "tools/gen/pictures.h"
#include "tools/gen/scene_files.h"
#include "tools/gen/text.h"

#include <cmath>

namespace {

const float kPi = 3.14159265f;
const int kBlocks = 9;
const float kPitch = 0.8f, kGround = -0.6f;

Image facade_texture() { // rows of windows, some lit warm, some cool, most dark
    Image img(256, 256);
    Rng rng(77);
    fill(img, [](float x, float y) {
        float n = fbm(x * 0.05f, y * 0.05f, 3, 3);
        return mix(rgb(0x1c2238), rgb(0x2a3150), n);
    });
    for (int row = 0; row < 16; ++row)
        for (int col = 0; col < 16; ++col) {
            float r = rng.uniform();
            Rgba c = r < 0.35f   ? rgb(0xffd27a)
                     : r < 0.5f  ? rgb(0x9fe8ff)
                     : r < 0.56f ? rgb(0xff7fc8)
                                 : rgb(0x0c1020);
            Mask m(256, 256);
            fill_polygon(m, {{col * 16 + 3.f, row * 16 + 4.f},
                             {col * 16 + 13.f, row * 16 + 4.f},
                             {col * 16 + 13.f, row * 16 + 13.f},
                             {col * 16 + 3.f, row * 16 + 13.f}});
            paint(img, m, c);
        }
    return img;
}

Image roof_texture() {
    Image img(128, 128);
    fill(img, [](float x, float y) {
        float edge = std::min(std::min(x, 128 - x), std::min(y, 128 - y));
        float n = fbm(x * 0.08f, y * 0.08f, 11, 3);
        Rgba c = mix(rgb(0x3a3f5a), rgb(0x535a7a), n);
        if (edge < 6) c = rgb(0x8a90b0);
        float d = std::hypot(x - 64, y - 64);
        if (std::fabs(d - 30) < 3) c = rgb(0xffc857); // landing circle
        return c;
    });
    return img;
}

Image ground_texture() { // streets between the blocks, lane marks, lamps
    const int n = 512;
    Image img(n, n);
    const float cell = float(n) / kBlocks;
    fill(img, [&](float x, float y) {
        float fx = std::fmod(x, cell), fy = std::fmod(y, cell);
        float road = std::min(std::min(fx, cell - fx), std::min(fy, cell - fy));
        float n1 = fbm(x * 0.04f, y * 0.04f, 5, 3);
        Rgba c = mix(rgb(0x101226), rgb(0x1a1c34), n1);
        if (road < 9) {
            c = rgb(0x07080f);
            bool along_x = std::min(fy, cell - fy) < 9;
            float t = along_x ? x : y;
            if (road < 1.2f && std::fmod(t, 14.f) < 7) c = rgb(0xffd27a);
        } else if (road < 11) {
            c = rgb(0x5a6080); // kerb
        }
        return c;
    });
    Mask lamps(n, n);
    for (int i = 0; i <= kBlocks; ++i)
        for (int j = 0; j <= kBlocks; ++j)
            fill_circle(lamps, i * cell, j * cell, 4);
    glow(img, blur(lamps, 14), {1.f, 0.7f, 0.3f, 0.8f});
    for (float& p : img.px)
        p = std::min(p, 1.f);
    for (size_t i = 3; i < img.px.size(); i += 4)
        img.px[i] = 1;
    return img;
}

Image band_texture() { // engraved gold band for the gem's ring
    Image img(256, 64);
    fill(img, [](float x, float y) {
        float v = 0.5f + 0.5f * std::cos((y - 32) / 32.f * kPi);
        float chevron =
            std::fabs(std::fmod(x + std::fabs(y - 32) * 0.8f, 28.f) - 14) < 2 ? 0.5f : 1;
        return mix(rgb(0x6a4010), rgb(0xffd880), v * chevron);
    });
    return img;
}

void lamp(ObjBuilder& b, const std::string& name, const Material& m, V3 dir) {
    // A light object: only its first vertex (the direction) matters.
    b.object(name);
    b.group(name + "_dir", m);
    b.polygon({dir, {dir.x + 0.1f, dir.y, dir.z}, {dir.x, dir.y + 0.1f, dir.z}});
}

bool city(const std::string& dir) {
    const Material facade{"facade", {0.25f, 0.25f, 0.3f}, {1, 1, 1}, {0.3f, 0.3f, 0.4f},
                          20,       "facade.tga"};
    const Material roof{"roof", {0.3f, 0.3f, 0.35f}, {1, 1, 1}, {0.2f, 0.2f, 0.2f}, 10, "roof.tga"};
    const Material ground{"ground", {0.4f, 0.4f, 0.45f}, {1, 1, 1}, {0, 0, 0}, 1, "ground.tga"};
    const Material chrome{"tower", {0.2f, 0.1f, 0.3f}, {0.75f, 0.3f, 0.95f}, {1, 1, 1}, 80, ""};
    const Material hatch{"hatch", {0.3f, 0.2f, 0.1f}, {1.f, 0.75f, 0.25f}, {1, 1, 1}, 60, ""};
    const Material sun{"sunlight", {0.18f, 0.16f, 0.2f}, {1.f, 0.88f, 0.75f}, {1, 1, 1}, 1, ""};
    const Material moon{"moonlight", {0.05f, 0.05f, 0.1f}, {0.25f, 0.4f, 0.85f}, {0.3f, 0.4f, 1}, 1,
                        ""};
    ObjBuilder b;
    lamp(b, "point_sun", sun, {0.55f, 0.7f, 1.f});
    lamp(b, "point_moon", moon, {-0.8f, -0.5f, 0.5f});

    const float half = kBlocks * kPitch / 2;
    b.object("ground");
    b.group("streets", ground);
    b.polygon({{-half, -half, kGround},
               {half, -half, kGround},
               {half, half, kGround},
               {-half, half, kGround}},
              {0, 0, 1, 0, 1, 1, 0, 1});

    Rng rng(2024);
    std::vector<std::pair<V3, V3>> blocks;
    for (int j = 0; j < kBlocks; ++j)
        for (int i = 0; i < kBlocks; ++i) {
            if (i == kBlocks / 2 && j == kBlocks / 2) continue; // the tower's block
            float cx = -half + (i + 0.5f) * kPitch, cy = -half + (j + 0.5f) * kPitch;
            float centre = 1 - std::hypot(cx, cy) / (half * 1.4f);
            float h = 0.12f + rng.range(0.1f, 0.55f) * (0.4f + centre);
            float s = rng.range(0.24f, 0.31f);
            blocks.push_back({{cx - s, cy - s, kGround}, {cx + s, cy + s, kGround + h}});
        }
    b.object("city");
    b.group("facades", facade);
    for (auto& [lo, hi] : blocks)
        b.box(lo, hi, 1.6f, 1.1f, true);
    b.group("roofs", roof);
    for (auto& [lo, hi] : blocks)
        b.polygon({{lo.x, lo.y, hi.z}, {hi.x, lo.y, hi.z}, {hi.x, hi.y, hi.z}, {lo.x, hi.y, hi.z}},
                  {0, 0, 1, 0, 1, 1, 0, 1});

    // The central tower: nine stacked, narrowing, twisted prisms.
    b.object("tower");
    b.group("spire", chrome);
    float z = kGround;
    for (int k = 0; k < 9; ++k) {
        float r0 = 0.3f - k * 0.022f, r1 = r0 - 0.015f, h = 0.075f;
        float a0 = k * 10.f;
        for (int s = 0; s < 9; ++s) {
            float a = (a0 + s * 40.f) * kPi / 180.f, c = (a0 + (s + 1) * 40.f) * kPi / 180.f;
            float a2 = a + 5 * kPi / 180.f, c2 = c + 5 * kPi / 180.f;
            b.polygon({{r0 * std::cos(a), r0 * std::sin(a), z},
                       {r0 * std::cos(c), r0 * std::sin(c), z},
                       {r1 * std::cos(c2), r1 * std::sin(c2), z + h},
                       {r1 * std::cos(a2), r1 * std::sin(a2), z + h}});
        }
        z += h;
    }
    std::vector<V3> cap;
    for (int s = 0; s < 9; ++s) {
        float a = (90.f + 5 + s * 40.f) * kPi / 180.f, r = 0.3f - 8 * 0.022f - 0.015f;
        cap.push_back({r * std::cos(a), r * std::sin(a), z});
    }
    b.polygon(cap);
    // The hatch on top, hinged along one edge by its pivot.
    const float top = z + 0.002f, hs = 0.06f;
    b.object("pivot_hatch");
    b.group("hinge", hatch);
    // Hinge point: the corner opposite the triangle's short edge; axis: from
    // there to the centre of the small square, along the lid's left edge.
    b.polygon({{-hs - 0.01f, 0, top - 0.01f},
               {-hs + 0.01f, 0, top - 0.01f},
               {-hs + 0.01f, 0, top + 0.01f},
               {-hs - 0.01f, 0, top + 0.01f}});
    b.polygon({{-hs, -hs, top}, {-hs + 0.2f, -hs + 0.01f, top}, {-hs + 0.2f, -hs - 0.01f, top}});
    b.object("hatch");
    b.group("lid", hatch);
    b.box({-hs, -hs, top}, {hs, hs, top + 0.02f}, 0, 0);

    return write_text(dir + "/scene1.obj", b.text("scene1.mtl")) &&
           write_text(dir + "/scene1.mtl",
                      mtl_text({facade, roof, ground, chrome, hatch, sun, moon})) &&
           write_tga(dir + "/facade.tga", facade_texture()) &&
           write_tga(dir + "/roof.tga", roof_texture()) &&
           write_tga(dir + "/ground.tga", ground_texture());
}

bool gem(const std::string& dir) {
    const Material stone{"gem", {0.25f, 0.05f, 0.3f}, {0.85f, 0.2f, 0.75f}, {1, 1, 1}, 96, ""};
    const Material table{"table", {0.1f, 0.25f, 0.3f}, {0.3f, 0.9f, 1.f}, {1, 1, 1}, 96, ""};
    const Material gold{"band", {0.3f, 0.25f, 0.1f}, {1, 1, 1}, {1.f, 0.9f, 0.6f}, 40, "band.tga"};
    ObjBuilder b;
    const int n = 9;
    const float rt = 0.75f, rg = 1.4f, yt = 0.6f, yg = 0.12f, yb = -0.08f, yc = -1.5f;
    auto ring = [&](float r, float y, float off) {
        std::vector<V3> p;
        for (int i = 0; i < n; ++i) {
            float a = (off + i * 360.f / n) * kPi / 180.f;
            p.push_back({r * std::cos(a), y, -r * std::sin(a)});
        }
        return p;
    };
    std::vector<V3> t = ring(rt, yt, 20), g = ring(rg, yg, 0), gb = ring(rg, yb, 0);
    b.object("gem");
    b.group("table", table);
    b.polygon(t); // counter-clockwise seen from above
    b.group("facets", stone);
    for (int i = 0; i < n; ++i) {
        int k = (i + 1) % n;
        b.polygon({g[i], g[k], t[i]}); // crown: triangles and kites between rings
        b.polygon({t[i], g[k], t[k]});
        b.polygon({gb[i], gb[k], g[k], g[i]}); // girdle
        b.polygon({{0, yc, 0}, gb[k], gb[i]}); // pavilion
    }
    b.object("ring");
    b.group("band", gold);
    const int seg = 36, tube = 8;
    const float R = 2.1f, r = 0.14f;
    auto pt = [&](int i, int j, V3& n3) {
        float a = 2 * kPi * i / seg, c = 2 * kPi * j / tube;
        n3 = {std::cos(c) * std::cos(a), std::sin(c), -std::cos(c) * std::sin(a)};
        // Tilted a little, so the ring and the gem catch light differently.
        V3 p{(R + r * std::cos(c)) * std::cos(a), r * std::sin(c),
             -(R + r * std::cos(c)) * std::sin(a)};
        return p;
    };
    for (int i = 0; i < seg; ++i)
        for (int j = 0; j < tube; ++j) {
            V3 n0, n1, n2, n3;
            V3 p0 = pt(i, j, n0), p1 = pt(i + 1, j, n1), p2 = pt(i + 1, j + 1, n2),
               p3 = pt(i, j + 1, n3);
            float u0 = float(i) / seg, u1 = float(i + 1) / seg;
            float v0 = float(j) / tube, v1 = float(j + 1) / tube;
            b.polygon_smooth({p0, p3, p2, p1}, {n0, n3, n2, n1}, {u0, v0, u0, v1, u1, v1, u1, v0});
        }
    return write_text(dir + "/scene2.obj", b.text("scene2.mtl")) &&
           write_text(dir + "/scene2.mtl", mtl_text({stone, table, gold})) &&
           write_tga(dir + "/band.tga", band_texture());
}

} // namespace

bool write_scenes(const std::string& dir) {
    return city(dir) && gem(dir);
}
