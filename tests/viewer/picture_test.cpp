#include "codec/image/bitmap.h"
#include "codec/yuv/yuv2rgb.h"
#include "viewer/frame_composer.h"
#include "viewer/picture_transform.h"
#include "viewer/snapshot_builder.h"

#include <QImage>
#include <QPainter>
#include <gtest/gtest.h>
#include <random>
#include <vector>

namespace kestrova::viewer {
namespace {

// A bottom-up picture whose pixel (x, row) carries its own coordinates.
struct Picture {
    int width, height, stride;
    std::vector<uint8_t> bytes;
    Picture(int w, int h) : width(w), height(h), stride(DibStride(w)), bytes(stride * h, 0xEE) {
        for (int r = 0; r < h; ++r)
            for (int x = 0; x < w; ++x) {
                uint8_t* p = &bytes[r * stride + x * 3];
                p[0] = static_cast<uint8_t>(x);
                p[1] = static_cast<uint8_t>(x >> 8);
                p[2] = static_cast<uint8_t>(r);
            }
    }
};

// (x, bottom-up row) of the source pixel that landed at top-down (x, y).
std::pair<int, int> SourceOf(const std::vector<uint8_t>& out, int stride, int x, int y) {
    const uint8_t* p = &out[y * stride + x * 3];
    return {p[0] | (p[1] << 8), p[2]};
}

TEST(PictureTransformTest, EveryModeIncludingPicturesWiderThan704) {
    for (int width : {5, 704, 800}) {
        Picture pic(width, 3);
        const int dstStride = width * 3 + 1; // odd stride: rows must not bleed
        for (int mode = 0; mode < 4; ++mode) {
            std::vector<uint8_t> out(dstStride * 3, 0x11);
            TransformToTopDown(pic.bytes.data(), pic.stride, width, 3, mode, out.data(), dstStride);
            for (int y = 0; y < 3; ++y) {
                for (int x : {0, 1, width - 1}) {
                    const int sx = (mode & 2) ? width - 1 - x : x;
                    const int srow = (mode & 1) ? y : 2 - y;
                    EXPECT_EQ(SourceOf(out, dstStride, x, y), std::make_pair(sx & 0xFFFF, srow))
                        << "width " << width << " mode " << mode << " at " << x << "," << y;
                }
                EXPECT_EQ(out[y * dstStride + width * 3], 0x11) << "padding byte overwritten";
            }
        }
    }
}

// The display surface's 32-bit form holds the same pixels as the 24-bit one, opaque.
TEST(PictureTransformTest, SurfaceFormMatchesTheTwentyFourBitFormInEveryMode) {
    for (int width : {1, 5, 7, 16, 35, 640}) {
        Picture pic(width, 3);
        for (int mode = 0; mode < 4; ++mode) {
            std::vector<uint8_t> bgr(width * 3 * 3);
            TransformToTopDown(pic.bytes.data(), pic.stride, width, 3, mode, bgr.data(), width * 3);
            const int dstStride = width * 4 + 4;
            std::vector<uint8_t> xrgb(dstStride * 3, 0x11);
            TransformToTopDownXrgb(pic.bytes.data(), pic.stride, width, 3, mode, xrgb.data(),
                                   dstStride);
            for (int y = 0; y < 3; ++y) {
                for (int x = 0; x < width; ++x) {
                    const uint8_t* want = &bgr[(y * width + x) * 3];
                    const uint8_t* got = &xrgb[y * dstStride + x * 4];
                    ASSERT_TRUE(got[0] == want[0] && got[1] == want[1] && got[2] == want[2] &&
                                got[3] == 0xFF)
                        << "width " << width << " mode " << mode << " at " << x << "," << y;
                }
                EXPECT_EQ(xrgb[y * dstStride + width * 4], 0x11) << "padding overwritten";
            }
        }
    }
}

std::vector<uint8_t> TopDown(const Picture& pic, int mode) {
    std::vector<uint8_t> out(pic.width * 3 * pic.height);
    TransformToTopDown(pic.bytes.data(), pic.stride, pic.width, pic.height, mode, out.data(),
                       pic.width * 3);
    return out;
}

TEST(SnapshotBuilderTest, FullImageKeepsTheDrawnPictureAndPreviewIs320x240) {
    Picture pic(64, 48);
    const auto drawn = TopDown(pic, 2);
    FrameImage full, preview;
    BuildSnapshot(drawn.data(), 64 * 3, 64, 48, {}, full, preview);
    ASSERT_TRUE(full.IsValid());
    ASSERT_TRUE(preview.IsValid());
    EXPECT_EQ(full.Width(), 64);
    EXPECT_EQ(full.Height(), 48);
    EXPECT_EQ(preview.Width(), kPreviewWidth);
    EXPECT_EQ(preview.Height(), kPreviewHeight);
    // Top-left of the mirrored picture is the source's right-most column of the top row.
    const uint8_t* top = full.Bits() + (48 - 1) * full.Stride();
    EXPECT_EQ(top[0], 63);
    EXPECT_EQ(top[2], 47);
}

TEST(SnapshotBuilderTest, ZoomCropsAndEnlargesBack) {
    Picture pic(64, 48);
    const auto drawn = TopDown(pic, 0);
    FrameImage full, preview;
    SnapshotZoom zoom{true, 32, 0, 32, 24}; // the top-right quarter
    BuildSnapshot(drawn.data(), 64 * 3, 64, 48, zoom, full, preview);
    ASSERT_TRUE(full.IsValid());
    EXPECT_EQ(full.Width(), 64);
    EXPECT_EQ(full.Height(), 48);
    // The enlarged quarter's top-left pixel comes from around source (32, top row).
    const uint8_t* top = full.Bits() + (48 - 1) * full.Stride();
    EXPECT_NEAR(top[0], 32, 1);
    EXPECT_NEAR(top[2], 47, 1);
    // Its bottom-right from around (63, row 24 from the top).
    const uint8_t* bottom = full.Bits() + 63 * 3;
    EXPECT_NEAR(bottom[0], 63, 1);
    EXPECT_NEAR(bottom[2], 47 - 23, 1);
    ASSERT_TRUE(preview.IsValid());
    EXPECT_EQ(preview.Width(), kPreviewWidth);
    EXPECT_EQ(preview.Height(), kPreviewHeight);
}

TEST(SnapshotBuilderTest, EmptyPictureBuildsNothing) {
    FrameImage full, preview;
    uint8_t none = 0;
    BuildSnapshot(&none, 0, 0, 0, {}, full, preview);
    EXPECT_FALSE(full.IsValid());
    EXPECT_FALSE(preview.IsValid());
}

// What a paint leaves on a window's backing store: the picture at a widget's place in its
// window, optionally through a clip that leaves the picture's last row alone.
QImage PaintedStore(const FrameComposer& composer, int w, int h, bool clipped) {
    QImage store(w + 20, h + 12, QImage::Format_ARGB32_Premultiplied);
    store.fill(Qt::blue);
    QPainter painter(&store);
    painter.translate(10, 6);
    if (clipped)
        painter.setClipRect(0, 0, w, h - 1);
    EXPECT_EQ(composer.Paint(painter), QRect(0, 0, w, h));
    return store;
}

// An MPEG-4 picture handed over as planes is composed into the same surface, the same
// snapshot and the same painted window as its 24-bit form, shown directly or scaled, in
// every mirror mode.
TEST(FrameComposerTest, PlanarPicturesComposeLikeTheirTwentyFourBitForm) {
    constexpr int w = 64, h = 48;
    std::vector<uint8_t> y(w * h), cb(w * h / 4), cr(w * h / 4);
    std::mt19937 rng(3);
    for (auto* plane : {&y, &cb, &cr})
        for (uint8_t& v : *plane)
            v = static_cast<uint8_t>(rng());
    CYuvToRgb converter;
    ASSERT_EQ(converter.Initialise(), 1);
    std::vector<uint8_t> bgr(w * h * 3);
    ASSERT_EQ(converter.Convert(y.data(), cb.data(), cr.data(), bgr.data(), w, h), 1);
    const stream::PlanarSource planes{y.data(), cb.data(), cr.data(), w, w / 2, &converter};

    for (const int percent : {100, 50})
        for (int mode = 0; mode < 4; ++mode) {
            QImage surface[2], painted[2], clipped[2];
            std::vector<uint8_t> snapshot[2];
            for (int planar = 0; planar < 2; ++planar) {
                PathView view;
                view.mirrorMode = mode;
                view.percent = percent;
                view.snapshotRequest = true;
                stream::VideoPicture picture;
                picture.width = w;
                picture.height = h;
                picture.stride = w * 3;
                if (planar)
                    picture.planar = &planes;
                else
                    picture.bgr = bgr;
                FrameComposer composer;
                ASSERT_TRUE(composer.Compose(picture, view));
                ASSERT_TRUE(composer.Compose(picture, view)); // a second one, no snapshot
                surface[planar] = composer.Latest();
                painted[planar] =
                    PaintedStore(composer, w * percent / 100, h * percent / 100, false);
                clipped[planar] =
                    PaintedStore(composer, w * percent / 100, h * percent / 100, true);
                const FrameImage& full = view.snapshotFull;
                ASSERT_TRUE(full.IsValid());
                snapshot[planar].assign(full.Bits(), full.Bits() + full.Stride() * full.Height());
            }
            const std::string what =
                "percent " + std::to_string(percent) + " mode " + std::to_string(mode);
            EXPECT_EQ(surface[1], surface[0]) << what;
            EXPECT_EQ(painted[1], painted[0]) << what;
            EXPECT_EQ(clipped[1], clipped[0]) << what;
            EXPECT_EQ(snapshot[1], snapshot[0]) << what;
        }
}

} // namespace
} // namespace kestrova::viewer
