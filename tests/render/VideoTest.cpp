// Videos, read back with the libraries that wrote them: frame counts, sizes
// and durations, what the frames show, and what a failure leaves behind.
extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libswscale/swscale.h>
}
#include <gtest/gtest.h>
#include <stb_image.h>
#include <sys/resource.h>

#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "Common.h"
#include "TestSupport.h"
#include "Video.h"

namespace fs = std::filesystem;
using namespace VorelTest;
using VorelTools::GifPalette;
using VorelTools::VideoWriter;

namespace {

// What a video file holds: its first video stream's codec, size and
// packets, the time they span, and every frame decoded as RGBA.
struct Video {
    AVCodecID codec = AV_CODEC_ID_NONE;
    int width = 0, height = 0, packets = 0;
    double seconds = 0;
    std::string alphaMode;  // WebM's mark of a stream with alpha
    std::vector<std::vector<uint8_t>> frames;
    const uint8_t* At(size_t frame, int x, int y) const {
        return &frames[frame][(size_t(y) * width + x) * 4];
    }
};

Video ReadVideo(const fs::path& path) {
    Video video;
    AVFormatContext* format = nullptr;
    if (avformat_open_input(&format, path.c_str(), nullptr, nullptr) < 0) return video;
    avformat_find_stream_info(format, nullptr);
    const int index = av_find_best_stream(format, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    if (index < 0) {
        avformat_close_input(&format);
        return video;
    }
    const AVStream* stream = format->streams[index];
    video.codec = stream->codecpar->codec_id;
    video.width = stream->codecpar->width;
    video.height = stream->codecpar->height;
    if (const AVDictionaryEntry* e = av_dict_get(stream->metadata, "alpha_mode", nullptr, 0))
        video.alphaMode = e->value;
    const AVCodec* decoder = avcodec_find_decoder(video.codec);
    AVCodecContext* context = avcodec_alloc_context3(decoder);
    avcodec_parameters_to_context(context, stream->codecpar);
    avcodec_open2(context, decoder, nullptr);
    AVPacket* packet = av_packet_alloc();
    AVFrame* frame = av_frame_alloc();
    int64_t first = INT64_MAX, last = INT64_MIN;
    const auto receive = [&] {
        while (avcodec_receive_frame(context, frame) == 0) {
            SwsContext* convert = sws_getContext(
                frame->width, frame->height, static_cast<AVPixelFormat>(frame->format), frame->width,
                frame->height, AV_PIX_FMT_RGBA, SWS_POINT, nullptr, nullptr, nullptr);
            AVFrame* converted = av_frame_alloc();
            converted->format = AV_PIX_FMT_RGBA;
            converted->width = frame->width;
            converted->height = frame->height;
            av_frame_get_buffer(converted, 0);
            sws_scale(convert, frame->data, frame->linesize, 0, frame->height, converted->data,
                      converted->linesize);
            sws_freeContext(convert);
            std::vector<uint8_t> rgba(size_t(frame->width) * frame->height * 4);
            for (int y = 0; y < frame->height; ++y)
                std::memcpy(&rgba[size_t(y) * frame->width * 4],
                            converted->data[0] + y * converted->linesize[0], size_t(frame->width) * 4);
            av_frame_free(&converted);
            video.frames.push_back(std::move(rgba));
        }
    };
    while (av_read_frame(format, packet) >= 0) {
        if (packet->stream_index == index) {
            ++video.packets;
            first = std::min(first, packet->pts);
            last = std::max(last, packet->pts + packet->duration);
            avcodec_send_packet(context, packet);
            receive();
        }
        av_packet_unref(packet);
    }
    avcodec_send_packet(context, nullptr);
    receive();
    if (video.packets > 0) video.seconds = double(last - first) * av_q2d(stream->time_base);
    av_frame_free(&frame);
    av_packet_free(&packet);
    avcodec_free_context(&context);
    avformat_close_input(&format);
    return video;
}

// A picture whose left half is red and right half blue, with a bar of
// green that moves right with `frame`.
std::vector<uint8_t> Picture(int width, int height, int channels, int frame) {
    std::vector<uint8_t> pixels(size_t(width) * height * channels, 0);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            uint8_t* p = &pixels[(size_t(y) * width + x) * channels];
            p[x < width / 2 ? 0 : 2] = 255;
            if (x / 4 == frame) p[0] = 0, p[1] = 255, p[2] = 0;
            if (channels == 4) p[3] = y < height / 2 ? 255 : 0;  // the lower half clear
        }
    return pixels;
}

// What `work` returns while no file (of this process or its children) may
// grow past `bytes`: the writes beyond fail as they do on a full disk.
template <typename Work>
auto OnAFullDisk(rlim_t bytes, Work work) {
    const auto previous = std::signal(SIGXFSZ, SIG_IGN);
    rlimit saved{};
    getrlimit(RLIMIT_FSIZE, &saved);
    rlimit small = saved;
    small.rlim_cur = bytes;
    setrlimit(RLIMIT_FSIZE, &small);
    const auto result = work();
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previous);
    return result;
}

std::string Write(const fs::path& path, int width, int height, int channels, int count, int fps) {
    GifPalette palette;
    for (int i = 0; i < count; ++i) {
        const auto pixels = Picture(width, height, channels, i);
        palette.Count(pixels.data(), pixels.size() / channels, channels);
    }
    palette.Make(channels == 4 ? 255 : 256);
    std::string why;
    auto writer = VideoWriter::Open(path.string(), width, height, channels, fps, &palette, &why);
    for (int i = 0; writer != nullptr && i < count; ++i)
        if (!writer->Add(Picture(width, height, channels, i).data(), &why)) return why;
    if (writer == nullptr || !writer->Finish(&why)) return why;
    return "";
}

}  // namespace

TEST(GifPalette, KeepsFewColoursExactlyAndSpreadsManyOverTheirRange) {
    // Three colours: each gets an entry of its own, and maps to it wherever
    // it stands, whatever the dither.
    const std::vector<uint8_t> three = {255, 0, 0, 0, 0, 255, 40, 200, 90, 40, 200, 90};
    GifPalette few;
    few.Count(three.data(), 4, 3);
    few.Make(256);
    ASSERT_EQ(few.Colours().size(), 3u);
    for (int x = 0; x < 4; ++x)
        for (size_t p = 0; p < 4; ++p) {
            const auto& entry = few.Colours()[few.Map(&three[p * 3], x, x + 1)];
            for (int c = 0; c < 3; ++c)
                EXPECT_NEAR(entry[c], three[p * 3 + c], 4) << p;
        }

    // A grey ramp of every level, cut to 16 entries: each level lands
    // within a sixteenth of the range of its own value.
    std::vector<uint8_t> ramp;
    for (int v = 0; v < 256; ++v)
        ramp.insert(ramp.end(), {uint8_t(v), uint8_t(v), uint8_t(v), 255});
    GifPalette grey;
    grey.Count(ramp.data(), 256, 4);
    grey.Make(16);
    ASSERT_EQ(grey.Colours().size(), 16u);
    for (int v = 0; v < 256; v += 5)
        EXPECT_NEAR(grey.Colours()[grey.Map(&ramp[size_t(v) * 4], 0, 0)][0], v, 256 / 16) << v;

    // Clear pixels are not counted; with nothing counted one entry serves.
    const std::vector<uint8_t> clear = {255, 255, 255, 0};
    GifPalette none;
    none.Count(clear.data(), 1, 4);
    none.Make(256);
    EXPECT_EQ(none.Colours().size(), 1u);
}

// Each format read back: its codec, its frames, their size (padded to even
// sides where the codec needs it), the time they span and what they show.
TEST(VideoWriter, WritesFramesThatReadBackWithTheirCountSizeAndDuration) {
    ScratchFolder scratch;
    struct Case {
        const char* name;
        AVCodecID codec;
        int channels, width, height;
    };
    for (const Case& c :
         {Case{"odd.mp4", AV_CODEC_ID_H264, 3, 35, 21}, Case{"odd.webm", AV_CODEC_ID_VP9, 3, 35, 21},
          Case{"clear.webm", AV_CODEC_ID_VP9, 4, 36, 20}, Case{"clear.gif", AV_CODEC_ID_GIF, 4, 35, 21},
          Case{"Loud.GIF", AV_CODEC_ID_GIF, 3, 35, 21}}) {
        SCOPED_TRACE(c.name);
        const fs::path path = scratch.Path() / c.name;
        ASSERT_EQ(Write(path, c.width, c.height, c.channels, 8, 4), "");
        EXPECT_FALSE(fs::exists(path.string() + ".part"));
        const Video video = ReadVideo(path);
        EXPECT_EQ(video.codec, c.codec);
        EXPECT_EQ(video.packets, 8);
        ASSERT_EQ(video.frames.size(), 8u);
        EXPECT_NEAR(video.seconds, 2.0, 0.01) << "8 frames at 4 a second";
        const bool gif = c.codec == AV_CODEC_ID_GIF;
        EXPECT_EQ(video.width, gif ? c.width : (c.width + 1) / 2 * 2);
        EXPECT_EQ(video.height, gif ? c.height : (c.height + 1) / 2 * 2);
        // Red left, blue right, the green bar where it was put.
        EXPECT_GT(video.At(0, 10, 5)[0], 200);
        EXPECT_GT(video.At(0, c.width - 6, 5)[2], 200);
        EXPECT_GT(video.At(5, 22, 5)[1], 200) << "the bar of frame 5";
        EXPECT_LT(video.At(4, 22, 5)[1], 100) << "not yet there in frame 4";
        if (c.channels == 4 && gif) {
            EXPECT_EQ(video.At(3, 10, 5)[3], 255);
            EXPECT_EQ(video.At(3, 10, c.height - 3)[3], 0) << "the clear half shows through";
        }
        if (c.channels == 4 && !gif) {
            EXPECT_EQ(video.alphaMode, "1") << "the WebM carries its alpha";
        }
    }
}

// A file that cannot be written, or a disk that fills part-way: the reason,
// and nothing left under the output's name or beside it.
TEST(VideoWriter, LeavesNothingBehindWhenTheFileCannotBeWritten) {
    ScratchFolder scratch;
    const fs::path missing = scratch.Path() / "no" / "such.mp4";
    EXPECT_NE(Write(missing, 64, 48, 3, 2, 30), "");
    EXPECT_TRUE(fs::is_empty(scratch.Path()));
    EXPECT_NE(Write(scratch.Path() / "a.avi", 64, 48, 3, 2, 30), "") << "not a format it writes";

    // Files may grow to 2 KiB: the writes past it fail as on a full disk.
    const std::string full =
        OnAFullDisk(2 << 10, [&] { return Write(scratch.Path() / "full.webm", 320, 240, 3, 60, 30); });
    EXPECT_NE(full.find("full.webm"), std::string::npos) << full;
    EXPECT_TRUE(fs::is_empty(scratch.Path()));
}

namespace {

fs::path Model(const char* name) {
    return fs::path(VOREL_SOURCE_DIR) / "Assets/Models" / name;
}

// The mean difference of two RGB(A) pictures' colour channels.
double Difference(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
    double sum = 0;
    for (size_t i = 0; i < std::min(a.size(), b.size()); ++i)
        if (i % 4 != 3) sum += std::abs(int(a[i]) - int(b[i]));
    return sum / double(a.size() / 4 * 3);
}

std::vector<uint8_t> Png(const std::string& path) {
    int w = 0, h = 0, n = 0;
    stbi_uc* pixels = stbi_load(path.c_str(), &w, &h, &n, 4);
    std::vector<uint8_t> rgba(pixels, pixels + (pixels != nullptr ? size_t(w) * h * 4 : 0));
    stbi_image_free(pixels);
    return rgba;
}

}  // namespace

// vorel-snapshot --video, run as a user runs it: the frames are the
// pictures --frames draws, one loop long unless told; turntables; and every
// way it can fail leaves no file.
TEST(SnapshotVideo, WritesTheLoopAsFramesDrawsItAndFailsCleanly) {
    KeepCurrentDirectory keep;
    ScratchFolder scratch;
    fs::current_path(scratch.Path());
    const std::string figure = "vorel-snapshot " + Model("Figure.x").string();
    // Walk: one second, so 30 frames at the default rate.
    ASSERT_EQ(RunTool(figure + " walk.gif --video --size 160 --skeleton off"), 0);
    ASSERT_EQ(RunTool(figure + " walk-%02d.png --frames 30 --size 160 --skeleton off"), 0);
    const Video walk = ReadVideo("walk.gif");
    ASSERT_EQ(walk.frames.size(), 30u);
    EXPECT_NEAR(walk.seconds, 1.0, 0.02);
    EXPECT_EQ(walk.width * walk.height, 160 * 120);
    for (int k : {0, 15}) {
        const auto same = Png("walk-" + std::to_string(k) + (k < 10 ? "0" : "") + ".png");
        const auto other = Png(k == 0 ? "walk-15.png" : "walk-00.png");
        EXPECT_LT(Difference(walk.frames[k], same), 3.0) << k << ": the palette's error only";
        EXPECT_LT(Difference(walk.frames[k], same) * 2, Difference(walk.frames[k], other)) << k;
    }

    // Half a second of set 1 at 20 frames a second, at an odd size.
    ASSERT_EQ(RunTool(figure + " run.mp4 --video --set 1 --duration 0.5 --fps 20 --width 301 --height 201"),
              0);
    const Video run = ReadVideo("run.mp4");
    EXPECT_EQ(run.codec, AV_CODEC_ID_H264);
    EXPECT_EQ(run.frames.size(), 10u);
    EXPECT_NEAR(run.seconds, 0.5, 0.01);
    EXPECT_EQ(run.width, 302);
    EXPECT_EQ(run.height, 202);

    // A turntable of a model that does not move, with its background clear.
    const std::string blocks = "vorel-snapshot " + Model("Blocks.x").string();
    ASSERT_EQ(RunTool(blocks + " spin.webm --video --still --orbit 360 --duration 1 --fps 8 --transparent "
                               "--size 200"),
              0);
    const Video spin = ReadVideo("spin.webm");
    ASSERT_EQ(spin.frames.size(), 8u);
    EXPECT_EQ(spin.alphaMode, "1");
    EXPECT_GT(Difference(spin.frames[0], spin.frames[2]), 1.0) << "a quarter turn on";

    // What fails: a model with nothing to play, a set of no length, a set
    // that is not there, a folder that is not there, and a full disk.
    WriteFile("flat.x",
              "xof 0303txt 0032\nFrame F { Mesh { 3; 0;0;0;, 1;0;0;, 0;1;0;; 1; 3;0,1,2;; } }\n"
              "AnimationSet Still { Animation { {F} AnimationKey { 2; 1; 0;3;0,0,0;;; } } }\n");
    EXPECT_EQ(RunTool(blocks + " none.mp4 --video"), 1) << "no set to play";
    EXPECT_EQ(RunTool("vorel-snapshot flat.x flat.mp4 --video"), 1) << "a set of no length";
    EXPECT_EQ(RunTool("vorel-snapshot flat.x flat.mp4 --video --duration 0.2"), 0) << "...given a length";
    EXPECT_EQ(RunTool(figure + " set.mp4 --video --set 9"), 1);
    EXPECT_EQ(RunTool(figure + " no/such/folder/out.mp4 --video"), 1);
    EXPECT_EQ(RunTool(figure + " out.avi --video"), 2);
    EXPECT_EQ(RunTool(figure + " out.mp4 --video --transparent"), 2) << "MP4 has no alpha";
    EXPECT_EQ(RunTool(figure + " out-%d.mp4 --video --frames 3"), 2);
    EXPECT_EQ(OnAFullDisk(16 << 10, [&] { return RunTool(figure + " full.webm --video"); }), 1);
    for (const char* left : {"none.mp4", "set.mp4", "out.mp4", "full.webm", "full.webm.part"})
        EXPECT_FALSE(fs::exists(left)) << left;
    EXPECT_TRUE(fs::exists("flat.mp4"));
}
