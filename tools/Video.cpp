#include "Video.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/opt.h>
#include <libswscale/swscale.h>
}

#include <algorithm>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <deque>
#include <mutex>
#include <thread>

namespace VorelTools {

namespace {

constexpr int kLevels = 32;  // histogram levels a channel

int Cell(int r, int g, int b) {
    return (r * kLevels + g) * kLevels + b;
}

// The histogram level of a channel's value, and the value a level stands
// for: 0 is black, 31 full.
int Level(int value) {
    return (value * (kLevels - 1) + 127) / 255;
}
int LevelValue(int level) {
    return level * 255 / (kLevels - 1);
}

std::string AvError(int code) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return text;
}

// A box of histogram cells, its bounds inclusive.
struct Box {
    int lo[3], hi[3];
    uint64_t count = 0;
    double error = 0;  // the count-weighted squared distance of its cells from their mean
    double mean[3] = {0, 0, 0};
};

// The box shrunk to the cells it counts, with its count, mean and error
// (each cell taken at the mean of the colours counted into it).
void Measure(const std::vector<uint64_t>& histogram, const std::vector<std::array<uint64_t, 3>>& sums,
             Box* box) {
    int lo[3] = {kLevels, kLevels, kLevels}, hi[3] = {-1, -1, -1};
    double sum[3] = {0, 0, 0}, squares = 0;
    uint64_t count = 0;
    for (int r = box->lo[0]; r <= box->hi[0]; ++r)
        for (int g = box->lo[1]; g <= box->hi[1]; ++g)
            for (int b = box->lo[2]; b <= box->hi[2]; ++b) {
                const int cell = Cell(r, g, b);
                const uint64_t n = histogram[cell];
                if (n == 0) continue;
                const int at[3] = {r, g, b};
                for (int c = 0; c < 3; ++c) {
                    lo[c] = std::min(lo[c], at[c]);
                    hi[c] = std::max(hi[c], at[c]);
                    sum[c] += double(sums[cell][c]);
                    squares += double(sums[cell][c]) * double(sums[cell][c]) / double(n);
                }
                count += n;
            }
    box->count = count;
    if (count == 0) return;
    box->error = squares;
    for (int c = 0; c < 3; ++c) {
        box->lo[c] = lo[c];
        box->hi[c] = hi[c];
        box->mean[c] = sum[c] / double(count);
        box->error -= double(count) * box->mean[c] * box->mean[c];
    }
}

// The box cut in two across its longest side, where half its count lies
// on either side; false when it holds one cell.
bool Split(const std::vector<uint64_t>& histogram, const std::vector<std::array<uint64_t, 3>>& sums, Box* box,
           Box* other) {
    int axis = 0;
    for (int c = 1; c < 3; ++c)
        if (box->hi[c] - box->lo[c] > box->hi[axis] - box->lo[axis]) axis = c;
    if (box->hi[axis] == box->lo[axis]) return false;
    std::vector<uint64_t> slices(kLevels, 0);
    for (int r = box->lo[0]; r <= box->hi[0]; ++r)
        for (int g = box->lo[1]; g <= box->hi[1]; ++g)
            for (int b = box->lo[2]; b <= box->hi[2]; ++b) {
                const int at[3] = {r, g, b};
                slices[at[axis]] += histogram[Cell(r, g, b)];
            }
    // The last slice of the lower half: never the box's last, so that both
    // halves keep a counted cell.
    int cut = box->lo[axis];
    uint64_t below = slices[cut];
    while (cut + 1 < box->hi[axis] && below * 2 < box->count)
        below += slices[++cut];
    *other = *box;
    box->hi[axis] = cut;
    other->lo[axis] = cut + 1;
    Measure(histogram, sums, box);
    Measure(histogram, sums, other);
    return true;
}

constexpr int kBayer[4][4] = {{0, 8, 2, 10}, {12, 4, 14, 6}, {3, 11, 1, 9}, {15, 7, 13, 5}};

}  // namespace

std::optional<VideoFormat> VideoFormatOf(const std::string& path) {
    const size_t dot = path.find_last_of("./");
    if (dot == std::string::npos || path[dot] != '.') return std::nullopt;
    std::string extension = path.substr(dot + 1);
    for (char& c : extension)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (extension == "mp4") return VideoFormat::kMp4;
    if (extension == "webm") return VideoFormat::kWebm;
    if (extension == "gif") return VideoFormat::kGif;
    return std::nullopt;
}

std::pair<int, int> PaddedSize(VideoFormat format, int width, int height) {
    if (format == VideoFormat::kGif) return {width, height};
    return {(width + 1) & ~1, (height + 1) & ~1};
}

void GifPalette::Count(const unsigned char* pixels, size_t count, int channels) {
    for (size_t i = 0; i < count; ++i) {
        const unsigned char* p = pixels + i * channels;
        if (channels == 4 && p[3] < 128) continue;  // transparent: not shown
        const int cell = Cell(Level(p[0]), Level(p[1]), Level(p[2]));
        ++m_histogram[cell];
        for (int c = 0; c < 3; ++c)
            m_sums[cell][c] += p[c];
    }
}

void GifPalette::Make(int colours) {
    colours = std::clamp(colours, 2, 256);
    std::vector<Box> boxes(1);
    for (int c = 0; c < 3; ++c) {
        boxes[0].lo[c] = 0;
        boxes[0].hi[c] = kLevels - 1;
    }
    Measure(m_histogram, m_sums, &boxes[0]);
    m_colours.clear();
    if (boxes[0].count == 0) {
        m_colours.push_back({0, 0, 0});  // nothing was counted: one colour serves
    } else {
        while (static_cast<int>(boxes.size()) < colours) {
            // The box that holds the most error, of those that can be cut.
            size_t worst = boxes.size();
            for (size_t i = 0; i < boxes.size(); ++i)
                if ((boxes[i].lo[0] != boxes[i].hi[0] || boxes[i].lo[1] != boxes[i].hi[1] ||
                     boxes[i].lo[2] != boxes[i].hi[2]) &&
                    (worst == boxes.size() || boxes[i].error > boxes[worst].error))
                    worst = i;
            if (worst == boxes.size()) break;  // every counted colour has its own entry
            Box other;
            if (!Split(m_histogram, m_sums, &boxes[worst], &other)) break;
            boxes.push_back(other);
        }
        for (const Box& box : boxes)
            m_colours.push_back({static_cast<uint8_t>(box.mean[0] + 0.5),
                                 static_cast<uint8_t>(box.mean[1] + 0.5),
                                 static_cast<uint8_t>(box.mean[2] + 0.5)});
    }
    m_nearest.assign(m_histogram.size(), 0);
    for (int r = 0; r < kLevels; ++r)
        for (int g = 0; g < kLevels; ++g)
            for (int b = 0; b < kLevels; ++b) {
                // The cell at the mean of what was counted in it, or at
                // its middle.
                const int cell = Cell(r, g, b);
                const uint64_t n = m_histogram[cell];
                const int at[3] = {n > 0 ? int(m_sums[cell][0] / n) : LevelValue(r),
                                   n > 0 ? int(m_sums[cell][1] / n) : LevelValue(g),
                                   n > 0 ? int(m_sums[cell][2] / n) : LevelValue(b)};
                int best = 0, bestDistance = 1 << 30;
                for (size_t i = 0; i < m_colours.size(); ++i) {
                    int distance = 0;
                    for (int c = 0; c < 3; ++c)
                        distance += (at[c] - m_colours[i][c]) * (at[c] - m_colours[i][c]);
                    if (distance < bestDistance) bestDistance = distance, best = static_cast<int>(i);
                }
                m_nearest[cell] = static_cast<uint8_t>(best);
            }
}

uint8_t GifPalette::Map(const unsigned char* rgb, int x, int y) const {
    // Moved by up to half a level either way by the pixel's place, then
    // rounded to its level.
    const int shift = (kBayer[y & 3][x & 3] * 2 - 15) * 255 / (kLevels - 1) / 32;
    int level[3];
    for (int c = 0; c < 3; ++c)
        level[c] = Level(std::clamp(rgb[c] + shift, 0, 255));
    return m_nearest.empty() ? 0 : m_nearest[Cell(level[0], level[1], level[2])];
}

struct VideoWriter::State {
    std::string path, part;
    VideoFormat format = VideoFormat::kMp4;
    int width = 0, height = 0, channels = 3, paddedWidth = 0, paddedHeight = 0;
    GifPalette palette;
    bool transparentIndex = false;  // a GIF's last entry shows what is behind it
    AVFormatContext* muxer = nullptr;
    AVCodecContext* codec = nullptr;
    AVStream* stream = nullptr;
    AVFrame* frame = nullptr;
    AVPacket* packet = nullptr;
    SwsContext* convert = nullptr;
    AVFrame* source = nullptr;  // the RGB(A) pixels, padded, that the conversion reads
    int64_t next = 0;
    bool finished = false;

    // Each picture is converted and encoded on a thread of its own while
    // the next is drawn: Add hands over a filled buffer and takes an
    // emptied one, and waits only when two are waiting already.
    static constexpr size_t kWaiting = 2;
    std::thread worker;
    std::mutex lock;
    std::condition_variable changed;
    std::deque<std::vector<unsigned char>> waiting;  // oldest first
    std::vector<std::vector<unsigned char>> spare;
    bool closing = false;
    std::string error;  // the worker's first failure; what is handed over after it is dropped

    ~State() {
        Stop();
        sws_freeContext(convert);
        av_packet_free(&packet);
        av_frame_free(&frame);
        av_frame_free(&source);
        avcodec_free_context(&codec);
        if (muxer != nullptr) {
            if (muxer->pb != nullptr) avio_closep(&muxer->pb);
            avformat_free_context(muxer);
        }
        if (!finished && !part.empty()) std::remove(part.c_str());
    }

    bool Fail(std::string* why, const std::string& what, int code) {
        *why = what + ": " + AvError(code);
        return false;
    }

    void Work() {
        for (;;) {
            std::vector<unsigned char> picture;
            {
                std::unique_lock<std::mutex> hold(lock);
                changed.wait(hold, [this] { return !waiting.empty() || closing; });
                if (waiting.empty()) return;
                picture = std::move(waiting.front());
                waiting.pop_front();
            }
            std::string why;
            const bool encoded = !error.empty() || Encode(picture.data(), &why);
            std::lock_guard<std::mutex> hold(lock);
            if (!encoded) error = why;
            spare.push_back(std::move(picture));
            changed.notify_all();
        }
    }

    // What was handed over encoded, and the worker ended.
    void Stop() {
        if (!worker.joinable()) return;
        {
            std::lock_guard<std::mutex> hold(lock);
            closing = true;
            changed.notify_all();
        }
        worker.join();
    }

    bool Encode(const unsigned char* pixels, std::string* why);

    // Every packet the encoder has ready, into the file.
    bool Drain(std::string* why) {
        for (;;) {
            const int result = avcodec_receive_packet(codec, packet);
            if (result == AVERROR(EAGAIN) || result == AVERROR_EOF) return true;
            if (result < 0) return Fail(why, "cannot encode " + path, result);
            av_packet_rescale_ts(packet, codec->time_base, stream->time_base);
            packet->stream_index = stream->index;
            const int written = av_interleaved_write_frame(muxer, packet);
            if (written < 0) return Fail(why, "cannot write " + path, written);
        }
    }
};

VideoWriter::VideoWriter(std::unique_ptr<State> state) : m_state(std::move(state)) {}
VideoWriter::~VideoWriter() = default;

std::unique_ptr<VideoWriter> VideoWriter::Open(const std::string& path, int width, int height, int channels,
                                               int fps, const GifPalette* palette, std::string* why) {
    const std::optional<VideoFormat> format = VideoFormatOf(path);
    if (!format) {
        *why = path + ": a video is .mp4, .webm or .gif";
        return nullptr;
    }
    if (width <= 0 || height <= 0 || (channels != 3 && channels != 4) || fps <= 0 ||
        (*format == VideoFormat::kGif && palette == nullptr)) {
        *why = "cannot write " + path + ": no frames of that shape";
        return nullptr;
    }
    av_log_set_level(AV_LOG_ERROR);  // the encoders' reports are not the tool's
    auto s = std::make_unique<State>();
    s->path = path;
    s->part = path + ".part";
    s->format = *format;
    s->width = width;
    s->height = height;
    s->channels = channels;
    std::tie(s->paddedWidth, s->paddedHeight) = PaddedSize(*format, width, height);

    const char* muxerName = *format == VideoFormat::kMp4    ? "mp4"
                            : *format == VideoFormat::kWebm ? "webm"
                                                            : "gif";
    const AVCodec* encoder = *format == VideoFormat::kMp4    ? avcodec_find_encoder_by_name("libx264")
                             : *format == VideoFormat::kWebm ? avcodec_find_encoder_by_name("libvpx-vp9")
                                                             : avcodec_find_encoder(AV_CODEC_ID_GIF);
    if (encoder == nullptr && *format == VideoFormat::kMp4) encoder = avcodec_find_encoder(AV_CODEC_ID_H264);
    if (encoder == nullptr && *format == VideoFormat::kWebm) encoder = avcodec_find_encoder(AV_CODEC_ID_VP9);
    if (encoder == nullptr) {
        *why = "cannot write " + path + ": this FFmpeg has no encoder for " + muxerName;
        return nullptr;
    }
    int result = avformat_alloc_output_context2(&s->muxer, nullptr, muxerName, s->part.c_str());
    if (result < 0) return s->Fail(why, "cannot write " + path, result), nullptr;
    s->stream = avformat_new_stream(s->muxer, nullptr);
    s->codec = avcodec_alloc_context3(encoder);
    s->frame = av_frame_alloc();
    s->packet = av_packet_alloc();
    if (s->stream == nullptr || s->codec == nullptr || s->frame == nullptr || s->packet == nullptr)
        return s->Fail(why, "cannot write " + path, AVERROR(ENOMEM)), nullptr;

    AVCodecContext* c = s->codec;
    c->width = s->paddedWidth;
    c->height = s->paddedHeight;
    c->time_base = AVRational{1, fps};
    c->framerate = AVRational{fps, 1};
    c->sample_aspect_ratio = AVRational{1, 1};
    AVPixelFormat source = channels == 4 ? AV_PIX_FMT_RGBA : AV_PIX_FMT_RGB24;
    AVDictionary* options = nullptr;
    if (*format == VideoFormat::kGif) {
        c->pix_fmt = AV_PIX_FMT_PAL8;
        s->palette = *palette;
        s->transparentIndex = channels == 4;
    } else {
        // The pixels are sRGB, turned into YUV by BT.601's matrix.
        c->pix_fmt =
            *format == VideoFormat::kWebm && channels == 4 ? AV_PIX_FMT_YUVA420P : AV_PIX_FMT_YUV420P;
        c->color_range = AVCOL_RANGE_MPEG;
        c->colorspace = AVCOL_SPC_SMPTE170M;
        c->color_primaries = AVCOL_PRI_BT709;
        c->color_trc = AVCOL_TRC_IEC61966_2_1;
        c->gop_size = fps * 2;
        c->thread_count = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
        if (*format == VideoFormat::kMp4) {
            // The fastest preset: the frames are drawn on the same two
            // cores, and what the slower ones save in size is not worth
            // half the drawing time again.
            av_dict_set(&options, "preset", "ultrafast", 0);
            av_dict_set(&options, "crf", "20", 0);
        } else {
            // Realtime settings, rows of a frame encoded in parallel, and a
            // rate that keeps rendered edges clean.
            av_dict_set(&options, "deadline", "realtime", 0);
            av_dict_set(&options, "cpu-used", "8", 0);
            av_dict_set(&options, "row-mt", "1", 0);
            av_dict_set(&options, "lag-in-frames", "0", 0);
            c->bit_rate = int64_t(s->paddedWidth) * s->paddedHeight * fps / 8;
        }
        s->convert = sws_getContext(s->paddedWidth, s->paddedHeight, source, s->paddedWidth, s->paddedHeight,
                                    c->pix_fmt, SWS_BILINEAR, nullptr, nullptr, nullptr);
        if (s->convert == nullptr) {
            av_dict_free(&options);
            *why = "cannot write " + path + ": the pixels cannot be converted for the codec";
            return nullptr;
        }
    }
    if (s->muxer->oformat->flags & AVFMT_GLOBALHEADER) c->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    result = avcodec_open2(c, encoder, &options);
    av_dict_free(&options);
    if (result < 0) return s->Fail(why, "cannot start the encoder for " + path, result), nullptr;
    result = avcodec_parameters_from_context(s->stream->codecpar, c);
    if (result < 0) return s->Fail(why, "cannot write " + path, result), nullptr;
    s->stream->time_base = c->time_base;
    s->stream->avg_frame_rate = c->framerate;

    s->frame->format = c->pix_fmt;
    s->frame->width = c->width;
    s->frame->height = c->height;
    result = av_frame_get_buffer(s->frame, 0);
    if (result < 0) return s->Fail(why, "cannot write " + path, result), nullptr;
    if (s->convert != nullptr) {
        s->source = av_frame_alloc();
        if (s->source == nullptr) return s->Fail(why, "cannot write " + path, AVERROR(ENOMEM)), nullptr;
        s->source->format = source;
        s->source->width = s->paddedWidth;
        s->source->height = s->paddedHeight;
        result = av_frame_get_buffer(s->source, 0);
        if (result < 0) return s->Fail(why, "cannot write " + path, result), nullptr;
    }

    result = avio_open(&s->muxer->pb, s->part.c_str(), AVIO_FLAG_WRITE);
    if (result < 0) return s->Fail(why, "cannot write " + path, result), nullptr;
    AVDictionary* muxing = nullptr;
    if (*format == VideoFormat::kMp4)
        av_dict_set(&muxing, "movflags", "+faststart", 0);  // plays while it loads
    result = avformat_write_header(s->muxer, &muxing);
    av_dict_free(&muxing);
    if (result < 0) return s->Fail(why, "cannot write " + path, result), nullptr;
    State* state = s.get();
    s->worker = std::thread([state] { state->Work(); });
    return std::unique_ptr<VideoWriter>(new VideoWriter(std::move(s)));
}

bool VideoWriter::State::Encode(const unsigned char* pixels, std::string* why) {
    State& s = *this;
    int result = av_frame_make_writable(s.frame);
    if (result < 0) return s.Fail(why, "cannot encode " + s.path, result);
    if (s.format == VideoFormat::kGif) {
        auto* colours = reinterpret_cast<uint32_t*>(s.frame->data[1]);
        const auto& palette = s.palette.Colours();
        for (size_t i = 0; i < 256; ++i) {
            const auto& rgb = palette[std::min(i, palette.size() - 1)];
            colours[i] = 0xff000000u | uint32_t(rgb[0]) << 16 | uint32_t(rgb[1]) << 8 | rgb[2];
        }
        if (s.transparentIndex) colours[255] = 0;
        for (int y = 0; y < s.height; ++y) {
            uint8_t* row = s.frame->data[0] + size_t(y) * s.frame->linesize[0];
            for (int x = 0; x < s.width; ++x) {
                const unsigned char* p = pixels + (size_t(y) * s.width + x) * s.channels;
                row[x] = s.transparentIndex && p[3] < 128 ? 255 : s.palette.Map(p, x, y);
            }
        }
    } else {
        // Copied into the padded picture, its last column and row repeated
        // into the padding.
        const size_t rowBytes = size_t(s.width) * s.channels, paddedRow = size_t(s.paddedWidth) * s.channels;
        for (int y = 0; y < s.paddedHeight; ++y) {
            unsigned char* row = s.source->data[0] + size_t(y) * s.source->linesize[0];
            std::memcpy(row, pixels + std::min(y, s.height - 1) * rowBytes, rowBytes);
            for (size_t x = rowBytes; x < paddedRow; ++x)
                row[x] = row[x - s.channels];
        }
        sws_scale(s.convert, s.source->data, s.source->linesize, 0, s.paddedHeight, s.frame->data,
                  s.frame->linesize);
    }
    s.frame->pts = s.next++;
    result = avcodec_send_frame(s.codec, s.frame);
    if (result < 0) return s.Fail(why, "cannot encode " + s.path, result);
    return s.Drain(why);
}

bool VideoWriter::Add(const unsigned char* pixels, std::string* why) {
    State& s = *m_state;
    std::unique_lock<std::mutex> hold(s.lock);
    s.changed.wait(hold, [&s] { return s.waiting.size() < State::kWaiting || !s.error.empty(); });
    if (!s.error.empty()) {
        *why = s.error;
        return false;
    }
    std::vector<unsigned char> picture;
    if (!s.spare.empty()) {
        picture = std::move(s.spare.back());
        s.spare.pop_back();
    }
    hold.unlock();
    picture.assign(pixels, pixels + size_t(s.width) * s.height * s.channels);
    hold.lock();
    s.waiting.push_back(std::move(picture));
    s.changed.notify_all();
    return true;
}

bool VideoWriter::Finish(std::string* why) {
    State& s = *m_state;
    s.Stop();
    if (!s.error.empty()) {
        *why = s.error;
        return false;
    }
    const int flushed = avcodec_send_frame(s.codec, nullptr);
    if (flushed < 0) return s.Fail(why, "cannot encode " + s.path, flushed);
    if (!s.Drain(why)) return false;
    int result = av_write_trailer(s.muxer);
    if (result < 0) return s.Fail(why, "cannot write " + s.path, result);
    result = avio_closep(&s.muxer->pb);
    if (result < 0) return s.Fail(why, "cannot write " + s.path, result);
    if (std::rename(s.part.c_str(), s.path.c_str()) != 0) {
        *why = "cannot write " + s.path + ": " + std::strerror(errno);
        return false;
    }
    s.finished = true;
    return true;
}

}  // namespace VorelTools
