// Moving pictures from the tools: frames of RGB or RGBA pixels encoded with
// FFmpeg's libraries as MP4 (H.264), WebM (VP9, with alpha when asked) or an
// animated GIF with a palette made for its frames. The file is written
// beside its place as OUT.part and renamed only once whole, so a failure
// never leaves half a video under the output's name.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace VorelTools {

enum class VideoFormat { kMp4, kWebm, kGif };

// The format OUT's extension names (any case), if it names one.
std::optional<VideoFormat> VideoFormatOf(const std::string& path);

// The picture's size rounded up to what the format's codec takes: even
// sides for the 4:2:0 of H.264 and VP9, as it is for a GIF.
std::pair<int, int> PaddedSize(VideoFormat format, int width, int height);

// A palette of at most `colours` entries made for the colours a GIF shows:
// each frame is counted into a histogram of 32 levels a channel, and the
// counted colours are cut at their median, box by box, the box with the
// most error first. A colour maps to its nearest entry, with an ordered
// dither so that shading does not band.
class GifPalette {
public:
    void Count(const unsigned char* pixels, size_t count, int channels);
    // Makes the palette from what was counted; `colours` from 2 to 256.
    void Make(int colours);
    const std::vector<std::array<uint8_t, 3>>& Colours() const { return m_colours; }
    // The entry for the colour at (x, y) of the picture.
    uint8_t Map(const unsigned char* rgb, int x, int y) const;

private:
    std::vector<uint64_t> m_histogram = std::vector<uint64_t>(32 * 32 * 32, 0);
    std::vector<std::array<uint64_t, 3>> m_sums =
        std::vector<std::array<uint64_t, 3>>(32 * 32 * 32);  // of each cell
    std::vector<std::array<uint8_t, 3>> m_colours;
    std::vector<uint8_t> m_nearest;  // for each histogram cell
};

class VideoWriter {
public:
    // Starts OUT (its .part) for pictures of `width` x `height` with
    // `channels` 3 (RGB) or 4 (RGBA: the alpha kept where the format can
    // carry it) at `fps`. For a GIF the palette comes from `palette`, made
    // beforehand from the same frames. Nothing, with the reason in `why`,
    // when it cannot start.
    static std::unique_ptr<VideoWriter> Open(const std::string& path, int width, int height, int channels,
                                             int fps, const GifPalette* palette, std::string* why);
    ~VideoWriter();  // without Finish: the .part is removed
    VideoWriter(const VideoWriter&) = delete;
    VideoWriter& operator=(const VideoWriter&) = delete;

    // One frame, as many pixels as Open was told; false, with the reason in
    // `why`, when it cannot be encoded or written.
    bool Add(const unsigned char* pixels, std::string* why);
    // The rest encoded, the file closed and renamed to OUT; false, with the
    // reason in `why` and nothing left behind, when that fails.
    bool Finish(std::string* why);

    struct State;

private:
    explicit VideoWriter(std::unique_ptr<State> state);
    std::unique_ptr<State> m_state;
};

}  // namespace VorelTools
