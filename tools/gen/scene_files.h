// Writers for the 3D scene formats the demo loads: uncompressed 24-bit TGA
// (top row first, descriptor 0, so OBJ's v = 0 lands on the bottom row) and
// OBJ/MTL in the subset the loader reads: "o" before "g" before "f", faces as
// single-space separated "p/t/n" or "p//n" references, 1-based indices.
#pragma once

#include "tools/gen/image.h"

#include <string>
#include <vector>

struct V3 {
    float x, y, z;
};

// Width must be a multiple of 4 and both sides powers of two.
bool write_tga(const std::string& path, const Image& img);

struct Material {
    std::string name;
    V3 ka, kd, ks;
    float ns;
    std::string map_kd; // empty: untextured
};

struct ObjBuilder {
    std::vector<V3> v, vn;
    std::vector<float> vt; // u, v pairs
    std::string body;
    bool textured = false; // current group's material has a texture

    void object(const std::string& name);
    void group(const std::string& name, const Material& m);
    // A flat polygon; its normal follows the counter-clockwise order of pts.
    // uv may be empty (untextured groups).
    void polygon(const std::vector<V3>& pts, const std::vector<float>& uv = {});
    // A polygon with one normal per corner (smooth shading).
    void polygon_smooth(const std::vector<V3>& pts, const std::vector<V3>& normals,
                        const std::vector<float>& uv);
    // Axis-aligned box without its bottom face; sides textured by height.
    void box(V3 lo, V3 hi, float u_per_unit, float v_per_unit, bool sides_only = false);
    std::string text(const std::string& mtllib) const;
};

std::string mtl_text(const std::vector<Material>& ms);
bool write_text(const std::string& path, const std::string& text);
