// WO2 models written by our writer and read back by the engine, with
// OpenGL on the offscreen driver for the textures their materials name.
#include "picture_writer.h"
#include "test_support.h"
#include "wo2_writer.h"

#include "gen.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

using test::read_file;
using test::write_file;

class Wo2Test : public test::OpenGlTest {
  protected:
    void SetUp() override {
        OpenGlTest::SetUp();
        gen_tex_init();
        gen_wo2_init();
    }
    void TearDown() override {
        gen_wo2_free(&model);
        gen_wo2_deinit();
        gen_tex_deinit();
        OpenGlTest::TearDown();
    }
    void load(const Wo2Model &written, const std::string &file = "gfx/wo2/test/test.wo2") {
        write_file(file, wo2_write(written));
        std::string name = file;
        std::replace(name.begin(), name.end(), '/', '\\');
        gen_wo2_load(&model, name.c_str());
    }
    // Colour, or grey as an alpha map must be.
    static std::string png(int width, int height, bool grey = false) {
        test::PngPicture picture;
        picture.width = width, picture.height = height;
        picture.colour_type = grey ? 0 : 2;
        picture.rows.assign(static_cast<size_t>(width) * height * (grey ? 1 : 3), 200);
        return test::encode_png(picture);
    }
    std::string history() const { return read_file("history.txt"); }

    GEN_WO2 model{};
};

TEST_F(Wo2Test, AnEmptyModelIsItsSeventyByteHeader) {
    load(Wo2Model{});
    EXPECT_EQ(errors(), "");
    EXPECT_EQ(model.in_use, 1);
    EXPECT_EQ(model.header.num_references, 0);
    EXPECT_EQ(model.references, nullptr);
    EXPECT_NE(history().find("file_size 70\n"), std::string::npos);
    EXPECT_EQ(test::count_occurrences(history(), "offset 70   0x46"), 8) << "before each section";
    gen_wo2_free(&model);
    gen_wo2_free(&model); // the second time does nothing
    EXPECT_EQ(model.in_use, 0);
}

TEST_F(Wo2Test, AnotherVersionIsReportedWithBoth) {
    for (uint16_t version : {0x10F, 0x111}) {
        Wo2Model written;
        written.version = version;
        load(written);
        gen_wo2_free(&model);
    }
    EXPECT_NE(errors().find("wrong file version (0x10f) in file gfx\\wo2\\test\\test.wo2 "
                            "(expecting version 0x110)"),
              std::string::npos);
    EXPECT_NE(errors().find("(0x111)"), std::string::npos);
}

TEST_F(Wo2Test, ObjectsReferencesAndVerticesReadBackAsWritten) {
    Wo2Model written;
    for (const char *name : {"tree#far", "rock#CUST 10 50", "plain", "bush#close"}) {
        Wo2MaterialGroup group;
        group.faces.push_back(wo2_box(2, 4, 6));
        written.objects.push_back({name, {group}});
    }
    written.references = {{0, "glass_TRANSLUCENT_NO_COLLISION"},
                          {1, "DUMMY01"},
                          {2, "translucent wall COLLISION_TYPE 2"},
                          {3, "CLAMP"}};
    written.references[1].matrix[12] = 5; // moved along x
    written.references[1].mirrored = true;
    load(written);
    ASSERT_EQ(errors(), "");
    ASSERT_EQ(model.header.num_references, 4);
    const GEN_WO2_REFERENCE *r = model.references;
    EXPECT_EQ(r[0].flags, GEN_WO2_REF_TRANSLUCENT | GEN_WO2_REF_NO_COLLISION);
    EXPECT_EQ(r[1].flags, GEN_WO2_REF_INVISIBLE);
    EXPECT_EQ(r[2].flags, 0u) << "matched case-sensitively";
    EXPECT_EQ(r[2].collision_type, 2);
    EXPECT_EQ(r[3].flags, GEN_WO2_REF_CLAMP);
    EXPECT_FLOAT_EQ(r[0].lod_min, 400.0f);
    EXPECT_FLOAT_EQ(r[0].lod_max, 1000000000.0f);
    EXPECT_FLOAT_EQ(r[1].lod_min, 10.0f);
    EXPECT_FLOAT_EQ(r[1].lod_max, 50.0f);
    EXPECT_FLOAT_EQ(r[2].lod_min, -100000000.0f);
    EXPECT_FLOAT_EQ(r[3].lod_max, 200.0f);
    EXPECT_EQ(r[1].properties & 1, 1) << "mirrored";
    EXPECT_EQ(r[0].subzone, -1);
    EXPECT_FLOAT_EQ(model.matrices_aligned[1][12], 5.0f);
    EXPECT_FLOAT_EQ(model.matrices[1].max_scale, 1.0f);
    EXPECT_EQ(gen_wo2_find_reference(&model, "PLAIN"), 2) << "object names ignore case";
    EXPECT_EQ(gen_wo2_find_reference(&model, "nothing"), -1);
    EXPECT_STREQ(gen_wo2_get_reference_name(&model, 1), "DUMMY01");

    const GEN_WO2_INTERNAL_REFERENCE &box = model.internal_references[0];
    ASSERT_EQ(box.num_material_groups, 1);
    const GEN_WO2_FACE_GROUP &face = box.material_groups[0].face_groups[0];
    ASSERT_EQ(face.num_vertices, 36);
    float first[3];
    std::memcpy(first, model.vertex_data + face.positions, sizeof first);
    EXPECT_FLOAT_EQ(std::fabs(first[0]), 1.0f);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(model.vertex_data) % 16, 0u);
    EXPECT_FLOAT_EQ(box.box_max[1], 2.0f);
    EXPECT_NE(history().find("total triangles : 12\n"), std::string::npos);
}

TEST_F(Wo2Test, AnUnknownBandIsReported) {
    Wo2Model written;
    written.objects.push_back({"tree#near", {}});
    written.references = {{0, "tree"}};
    load(written);
    EXPECT_NE(errors().find("LOD type has to be close, mid, far or cust..... near"),
              std::string::npos);
}

// A damaged model whose hundreds of references name bad bands wrote a
// report and a call stack for each, seconds of them.
TEST_F(Wo2Test, AFaultOfEveryReferenceIsReportedOnceWithACount) {
    Wo2Model written;
    written.objects = {{"tree#near", {}}, {"bush#nearer", {}}};
    for (int i = 0; i < 300; ++i) {
        written.references.push_back({i % 2, "r"});
    }
    load(written);
    const std::string said = errors();
    EXPECT_EQ(test::count_occurrences(said, "* * * E R R O R ! * * *"), 2);
    EXPECT_NE(said.find("LOD type has to be close, mid, far or cust..... near\n"),
              std::string::npos);
    EXPECT_NE(said.find("gen_wo2_load: 299 more references have a faulty distance band in their "
                        "object's name in gfx\\wo2\\test\\test.wo2"),
              std::string::npos);
}

// Names are at most 254 characters: every reference naming a longer run of
// the text block read all of it, for each word it was searched for.
TEST_F(Wo2Test, ANameLongerThanANameMayBeIsCut) {
    Wo2Model written;
    written.objects = {{"box", {}}};
    written.references = {{0, std::string(300, 'x') + "_TRANSLUCENT"}};
    load(written);
    EXPECT_NE(errors().find("gen_wo2_load: a name in the text block of gfx\\wo2\\test\\test.wo2 "
                            "is longer than 254 characters; it is cut there"),
              std::string::npos);
    EXPECT_EQ(std::strlen(gen_wo2_get_reference_name(&model, 0)), 254u);
    EXPECT_EQ(model.references[0].flags, 0u) << "the flag word lay past the cut";
    EXPECT_STREQ(gen_wo2_get_object_name(&model, 0), "box");
}

TEST_F(Wo2Test, MapsArePngFilesBesideTheModelSharedByName) {
    char file[256];
    gen_wo2_map_file("gfx\\wo2\\island\\island.WO2", "Textures\\Rock.TGA", file, sizeof file);
    EXPECT_STREQ(file, "gfx\\wo2\\island\\rock.png");
    gen_wo2_map_file("boat.wo2", "Sail.bmp", file, sizeof file);
    EXPECT_STREQ(file, "sail.png");
    // Names written on other systems may use '/' on either side.
    gen_wo2_map_file("gfx/wo2/boat/boat.wo2", "maps/Sail.bmp", file, sizeof file);
    EXPECT_STREQ(file, "gfx/wo2/boat/sail.png");

    write_file("gfx/wo2/test/rock.png", png(16, 16));
    write_file("gfx/wo2/test/glass.png", png(8, 8, true));
    Wo2Model written;
    Wo2Material rock, rock_again, glass;
    rock.maps[0] = "Textures\\ROCK.tga";
    rock_again.maps[0] = "rock.jpg";
    glass.maps[1] = "glass.tga"; // an opacity map alone
    written.materials = {rock, rock_again, glass, Wo2Material{}};
    load(written);
    ASSERT_EQ(errors(), "");
    const GEN_WO2_MATERIAL *m = model.materials;
    ASSERT_NE(m[0].texture.texture, -1);
    EXPECT_EQ(m[0].texture.texture, m[1].texture.texture) << "one texture for both";
    GEN_TEXTURE texture{};
    gen_tex_get(m[0].texture.texture, &texture);
    EXPECT_EQ(texture.use_count, 2u);
    EXPECT_NE(m[2].texture.texture, -1) << "the opacity map stands in for the texture";
    EXPECT_EQ(m[2].texture.has_alpha, 0);
    EXPECT_EQ(m[3].texture.texture, -1) << "no maps";
    EXPECT_FLOAT_EQ(m[3].texture_matrix[0], 1.0f);
    EXPECT_NE(history().find("texture already found in memory"), std::string::npos);
    gen_wo2_free(&model);
    EXPECT_EQ(gen_tex_find("gfx\\wo2\\test\\rock.png"), -1) << "released with its last user";
}

TEST_F(Wo2Test, DamagedFilesAreReportedAndReleasable) {
    Wo2Model written;
    Wo2MaterialGroup group;
    group.faces.push_back(wo2_box(1, 1, 1));
    written.objects.push_back({"box", {group}});
    written.references = {{0, "box"}};
    const std::string whole = wo2_write(written);
    for (size_t cut : {size_t{10}, size_t{75}, whole.size() / 2, whole.size() - 3}) {
        write_file("cut.wo2", whole.substr(0, cut));
        gen_wo2_load(&model, "cut.wo2");
        gen_wo2_free(&model);
    }
    EXPECT_NE(errors().find("gen_wo2_load: file cut.wo2 ends too soon"), std::string::npos);

    // A face group whose vertices would lie past the vertex block.
    std::string bent = whole;
    const size_t face = 70 + 7 + 68 + 49 + 7; // the first face group's record
    bent[face + 3] = 0x7F;                    // its positions' offset
    write_file("bent.wo2", bent);
    gen_wo2_load(&model, "bent.wo2");
    EXPECT_NE(errors().find("reaches past its vertex data"), std::string::npos);
    EXPECT_EQ(model.internal_references[0].material_groups[0].face_groups[0].num_vertices, 0);

    gen_wo2_free(&model);
    gen_wo2_load(&model, "missing.wo2");
    EXPECT_NE(errors().find("cant load file missing.wo2"), std::string::npos);
}

TEST_F(Wo2Test, ThePoolHandsOutFreeRecordsAndFindsThemByName) {
    const int32_t first = gen_wo2_create();
    const int32_t second = gen_wo2_create();
    EXPECT_NE(first, second);
    write_file("a.wo2", wo2_write(Wo2Model{}));
    gen_wo2_load(gen_wo2_pooled(second), "a.wo2");
    EXPECT_EQ(gen_wo2_find("a.wo2"), second);
    EXPECT_EQ(gen_wo2_find("b.wo2"), -1);
    gen_wo2_init();
    EXPECT_NE(errors().find("gen_wo2_init: already inited"), std::string::npos);
}

// A face group counts its vertices in 16 bits: the writer cuts longer ones
// into pieces that keep every triangle, and a strip's winding.
TEST_F(Wo2Test, LongFaceGroupsAreWrittenInPieces) {
    Wo2Model written;
    Wo2MaterialGroup group;
    group.faces = {wo2_heightfield(std::vector<float>(160 * 160), 160, 160, 1),
                   wo2_cylinder_side(1, 1, 40000)};
    written.objects.push_back({"big", {group}});
    load(written);
    ASSERT_EQ(errors(), "");
    const GEN_WO2_MATERIAL_GROUP &read = model.internal_references[0].material_groups[0];
    int list = 0, strip = 0;
    for (int f = 0; f < read.num_face_groups; ++f) {
        const GEN_WO2_FACE_GROUP &face = read.face_groups[f];
        if (face.properties & GEN_WO2_STRIP) {
            EXPECT_EQ(strip % 2, 0) << "each piece starts on an even triangle";
            strip += face.num_vertices - 2;
        } else {
            list += face.num_vertices / 3;
        }
    }
    EXPECT_EQ(read.num_face_groups, 5);
    EXPECT_EQ(list, 159 * 159 * 2);
    EXPECT_EQ(strip, 80000);
}

// Every builder's triangles face, by the engine's own plane rule, the side
// their normals point to, and the closed ones face out; read back through
// the reader.
TEST_F(Wo2Test, BuiltMeshesFaceOutAndReadBack) {
    std::vector<float> heights(16);
    for (int i = 0; i < 16; ++i) {
        heights[i] = 0.1f * static_cast<float>(i % 4);
    }
    const struct {
        const char *name;
        Wo2FaceGroup face;
        bool closed; // its normals point away from its centre
        int triangles;
    } meshes[] = {
        {"box", wo2_box(2, 1, 3), true, 12},
        {"side", wo2_cylinder_side(1, 2, 8), false, 16},
        {"caps", wo2_cylinder_caps(1, 2, 8), false, 16},
        {"ball", wo2_sphere(1, 6, 8), true, 96},
        {"walls", wo2_extrusion({{0, 0}, {2, 0}, {2, 2}, {0, 2}}, 1), false, 8},
        {"ground", wo2_heightfield(heights, 4, 4, 1), false, 18},
    };
    Wo2Model written;
    for (const auto &mesh : meshes) {
        Wo2MaterialGroup group;
        group.faces.push_back(mesh.face);
        written.objects.push_back({mesh.name, {group}});
    }
    load(written);
    ASSERT_EQ(errors(), "");
    for (size_t i = 0; i < std::size(meshes); ++i) {
        const GEN_WO2_FACE_GROUP &face =
            model.internal_references[i].material_groups[0].face_groups[0];
        const bool strip = face.properties & GEN_WO2_STRIP;
        const int triangles = strip ? face.num_vertices - 2 : face.num_vertices / 3;
        EXPECT_EQ(triangles, meshes[i].triangles) << meshes[i].name;
        auto vec = [&](uint32_t base, int k) {
            float v[3];
            std::memcpy(v, model.vertex_data + base + k * 16, sizeof v);
            return std::array<float, 3>{v[0], v[1], v[2]};
        };
        const float *c = model.internal_references[i].sphere_centre;
        for (int t = 0; t < triangles; ++t) {
            int k[3] = {t * 3, t * 3 + 1, t * 3 + 2};
            if (strip) {
                k[0] = t, k[1] = t % 2 ? t + 2 : t + 1, k[2] = t % 2 ? t + 1 : t + 2;
            }
            const auto a = vec(face.positions, k[0]), b = vec(face.positions, k[1]),
                       d = vec(face.positions, k[2]);
            const float e1[3] = {b[0] - a[0], b[1] - a[1], b[2] - a[2]};
            const float e2[3] = {d[0] - a[0], d[1] - a[1], d[2] - a[2]};
            float area[3], plane[3];
            gen_math_cross(area, e1, e2);
            if (gen_math_dot(area, area) < 1e-10f) {
                continue; // a sliver at a pole
            }
            gen_math_triangle_normal(plane, a.data(), b.data(), d.data());
            const auto n = vec(face.normals, k[0]);
            const float facing = gen_math_dot(plane, n.data());
            EXPECT_GT(facing, 0) << meshes[i].name << " triangle " << t;
            if (meshes[i].closed) {
                const float out =
                    (a[0] - c[0]) * n[0] + (a[1] - c[1]) * n[1] + (a[2] - c[2]) * n[2];
                EXPECT_GT(out, 0) << meshes[i].name << " triangle " << t;
            }
        }
    }
}

} // namespace
