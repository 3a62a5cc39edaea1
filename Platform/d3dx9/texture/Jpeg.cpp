// JPEG through libjpeg(-turbo), which decodes the progressive and slightly
// damaged files that real model packs ship: a damaged segment is a warning
// there, and the picture is kept.
#include <csetjmp>
#include <cstddef>
#include <cstdio>

#include <jpeglib.h>

#include "d3dx9/texture/Texture.h"

namespace Platform::D3DX {
namespace {

struct ErrorManager {
    jpeg_error_mgr base;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};

void OnError(j_common_ptr info) {
    auto* errors = reinterpret_cast<ErrorManager*>(info->err);
    info->err->format_message(info, errors->message);
    std::longjmp(errors->jump, 1);
}

void Silently(j_common_ptr) {}

// Kept free of objects with destructors: an error jumps back to the
// setjmp here.
bool Decode(jpeg_decompress_struct* info, ErrorManager* errors, const uint8_t* data, size_t size,
            uint32_t* width, uint32_t* height, std::vector<uint8_t>* rgba, const char** tooLarge) {
    if (setjmp(errors->jump) != 0) return false;
    jpeg_create_decompress(info);
    jpeg_mem_src(info, data, static_cast<unsigned long>(size));
    jpeg_read_header(info, TRUE);
    info->out_color_space = JCS_EXT_RGBA;
    if (!PlausibleImageSize(uint64_t(info->image_width) * info->image_height, size)) {
        *tooLarge = "an image larger than the texture limit, or than its file can hold";
        return false;
    }
    jpeg_start_decompress(info);
    *width = info->output_width;
    *height = info->output_height;
    rgba->resize(size_t(*width) * *height * 4);
    while (info->output_scanline < info->output_height) {
        JSAMPROW row = rgba->data() + size_t(info->output_scanline) * *width * 4;
        jpeg_read_scanlines(info, &row, 1);
    }
    jpeg_finish_decompress(info);
    return true;
}

}  // namespace

bool DecodeJpeg(const uint8_t* data, size_t size, uint32_t* width, uint32_t* height,
                std::vector<uint8_t>* rgba, std::string* error) {
    jpeg_decompress_struct info{};
    ErrorManager errors{};
    info.err = jpeg_std_error(&errors.base);
    errors.base.error_exit = OnError;
    errors.base.output_message = Silently;
    const char* tooLarge = nullptr;
    const bool decoded = Decode(&info, &errors, data, size, width, height, rgba, &tooLarge);
    jpeg_destroy_decompress(&info);
    if (!decoded)
        *error =
            tooLarge != nullptr ? tooLarge : std::string("a JPEG libjpeg cannot read: ") + errors.message;
    return decoded;
}

}  // namespace Platform::D3DX
