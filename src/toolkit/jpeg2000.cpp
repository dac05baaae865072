#include "toolkit/jpeg2000.h"

#include <openjpeg.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <stdexcept>

namespace ravlen::toolkit::j2k {

namespace {

struct Source {
    const std::uint8_t *data;
    std::size_t size;
    std::size_t pos = 0;
};

OPJ_SIZE_T readSource(void *buffer, OPJ_SIZE_T bytes, void *user) {
    auto *s = static_cast<Source *>(user);
    if (s->pos >= s->size) {
        return OPJ_SIZE_T(-1);
    }
    const std::size_t n = std::min<std::size_t>(bytes, s->size - s->pos);
    std::memcpy(buffer, s->data + s->pos, n);
    s->pos += n;
    return n;
}

OPJ_OFF_T skipSource(OPJ_OFF_T bytes, void *user) {
    auto *s = static_cast<Source *>(user);
    if (bytes < 0) {
        const auto back = std::min<std::size_t>(std::size_t(-bytes), s->pos);
        s->pos -= back;
        return -OPJ_OFF_T(back);
    }
    const auto n = std::min<std::size_t>(std::size_t(bytes), s->size - s->pos);
    s->pos += n;
    return OPJ_OFF_T(n);
}

OPJ_BOOL seekSource(OPJ_OFF_T pos, void *user) {
    auto *s = static_cast<Source *>(user);
    if (pos < 0 || std::size_t(pos) > s->size) {
        return OPJ_FALSE;
    }
    s->pos = std::size_t(pos);
    return OPJ_TRUE;
}

struct Sink {
    std::vector<std::uint8_t> bytes;
    std::size_t pos = 0;
};

OPJ_SIZE_T writeSink(void *buffer, OPJ_SIZE_T n, void *user) {
    auto *s = static_cast<Sink *>(user);
    if (s->pos + n > s->bytes.size()) {
        s->bytes.resize(s->pos + n);
    }
    std::memcpy(s->bytes.data() + s->pos, buffer, n);
    s->pos += n;
    return n;
}

OPJ_OFF_T skipSink(OPJ_OFF_T n, void *user) {
    auto *s = static_cast<Sink *>(user);
    if (n < 0 && std::size_t(-n) > s->pos) {
        return -1;
    }
    s->pos = std::size_t(OPJ_OFF_T(s->pos) + n);
    if (s->pos > s->bytes.size()) {
        s->bytes.resize(s->pos);
    }
    return n;
}

OPJ_BOOL seekSink(OPJ_OFF_T pos, void *user) {
    auto *s = static_cast<Sink *>(user);
    if (pos < 0) {
        return OPJ_FALSE;
    }
    s->pos = std::size_t(pos);
    if (s->pos > s->bytes.size()) {
        s->bytes.resize(s->pos);
    }
    return OPJ_TRUE;
}

void keepMessage(const char *msg, void *user) {
    auto *text = static_cast<std::string *>(user);
    if (text->empty() && msg) {
        *text = msg;
        while (!text->empty() && (text->back() == '\n' || text->back() == ' ')) {
            text->pop_back();
        }
    }
}

void ignoreMessage(const char *, void *) {}

struct CodecDeleter {
    void operator()(opj_codec_t *c) const { opj_destroy_codec(c); }
};
struct StreamDeleter {
    void operator()(opj_stream_t *s) const { opj_stream_destroy(s); }
};
struct ImageDeleter {
    void operator()(opj_image_t *i) const { opj_image_destroy(i); }
};

bool isJp2(const std::uint8_t *data, std::size_t size) {
    static const std::uint8_t signature[] = {0x00, 0x00, 0x00, 0x0C, 0x6A, 0x50,
                                             0x20, 0x20, 0x0D, 0x0A, 0x87, 0x0A};
    return size >= sizeof signature && std::memcmp(data, signature, sizeof signature) == 0;
}

} // namespace

Picture decode(const std::uint8_t *data, std::size_t size, int maxWidth, int maxHeight) {
    Source source{data, size};
    std::unique_ptr<opj_codec_t, CodecDeleter> codec(
        opj_create_decompress(isJp2(data, size) ? OPJ_CODEC_JP2 : OPJ_CODEC_J2K));
    std::string error;
    opj_set_error_handler(codec.get(), keepMessage, &error);
    opj_set_warning_handler(codec.get(), ignoreMessage, nullptr);
    opj_set_info_handler(codec.get(), ignoreMessage, nullptr);
    opj_dparameters_t parameters;
    opj_set_default_decoder_parameters(&parameters);
    if (!opj_setup_decoder(codec.get(), &parameters)) {
        throw std::runtime_error("JPEG 2000 decoder set-up failed");
    }
    std::unique_ptr<opj_stream_t, StreamDeleter> stream(opj_stream_create(1 << 16, OPJ_TRUE));
    opj_stream_set_user_data(stream.get(), &source, nullptr);
    opj_stream_set_user_data_length(stream.get(), size);
    opj_stream_set_read_function(stream.get(), readSource);
    opj_stream_set_skip_function(stream.get(), skipSource);
    opj_stream_set_seek_function(stream.get(), seekSource);

    opj_image_t *raw = nullptr;
    if (!opj_read_header(stream.get(), codec.get(), &raw)) {
        opj_image_destroy(raw);
        throw std::runtime_error("JPEG 2000 header unreadable" +
                                 (error.empty() ? std::string() : ": " + error));
    }
    std::unique_ptr<opj_image_t, ImageDeleter> image(raw);
    const long long width = (long long)image->x1 - (long long)image->x0;
    const long long height = (long long)image->y1 - (long long)image->y0;
    if (width <= 0 || height <= 0 || width > maxWidth || height > maxHeight ||
        image->numcomps == 0 || image->numcomps > 4) {
        throw std::runtime_error("JPEG 2000 picture size or components do not match the "
                                 "data set");
    }
    if (!opj_decode(codec.get(), stream.get(), image.get()) ||
        !opj_end_decompress(codec.get(), stream.get())) {
        throw std::runtime_error("JPEG 2000 data could not be decoded" +
                                 (error.empty() ? std::string() : ": " + error));
    }
    Picture picture;
    picture.width = int(width);
    picture.height = int(height);
    for (OPJ_UINT32 c = 0; c < image->numcomps; ++c) {
        const opj_image_comp_t &comp = image->comps[c];
        if (comp.data == nullptr || comp.w == 0 || comp.h == 0 || comp.prec == 0 ||
            comp.prec > 32) {
            throw std::runtime_error("JPEG 2000 component without data");
        }
        Picture::Component out;
        out.width = int(comp.w);
        out.height = int(comp.h);
        out.dx = int(std::max<OPJ_UINT32>(comp.dx, 1));
        out.dy = int(std::max<OPJ_UINT32>(comp.dy, 1));
        out.precision = int(comp.prec);
        out.isSigned = comp.sgnd != 0;
        out.samples.assign(comp.data, comp.data + std::size_t(comp.w) * comp.h);
        picture.components.push_back(std::move(out));
    }
    return picture;
}

std::vector<std::uint8_t> encodeLossless(const std::vector<std::int32_t> &samples, int width,
                                         int height, int components, int precision, bool isSigned) {
    if (width <= 0 || height <= 0 || components <= 0 ||
        samples.size() != std::size_t(width) * height * components) {
        throw std::runtime_error("JPEG 2000 encoder: sample count does not match the size");
    }
    std::vector<opj_image_cmptparm_t> parms(static_cast<std::size_t>(components));
    for (opj_image_cmptparm_t &p : parms) {
        std::memset(&p, 0, sizeof p);
        p.dx = 1;
        p.dy = 1;
        p.w = OPJ_UINT32(width);
        p.h = OPJ_UINT32(height);
        p.prec = OPJ_UINT32(precision);
        p.sgnd = isSigned ? 1 : 0;
    }
    std::unique_ptr<opj_image_t, ImageDeleter> image(opj_image_create(
        OPJ_UINT32(components), parms.data(), components == 1 ? OPJ_CLRSPC_GRAY : OPJ_CLRSPC_SRGB));
    if (!image) {
        throw std::runtime_error("JPEG 2000 encoder: out of memory");
    }
    image->x0 = 0;
    image->y0 = 0;
    image->x1 = OPJ_UINT32(width);
    image->y1 = OPJ_UINT32(height);
    const std::size_t pixels = std::size_t(width) * height;
    for (int c = 0; c < components; ++c) {
        OPJ_INT32 *plane = image->comps[c].data;
        for (std::size_t i = 0; i < pixels; ++i) {
            plane[i] = samples[i * components + c];
        }
    }

    opj_cparameters_t parameters;
    opj_set_default_encoder_parameters(&parameters);
    parameters.tcp_numlayers = 1;
    parameters.tcp_rates[0] = 0; // lossless
    parameters.cp_disto_alloc = 1;
    parameters.irreversible = 0;
    parameters.tcp_mct = 0; // the photometric interpretation stays as the data set says
    int resolutions = 1;
    while (resolutions < 6 && (std::min(width, height) >> resolutions) > 0) {
        ++resolutions;
    }
    parameters.numresolution = resolutions;

    std::unique_ptr<opj_codec_t, CodecDeleter> codec(opj_create_compress(OPJ_CODEC_J2K));
    std::string error;
    opj_set_error_handler(codec.get(), keepMessage, &error);
    opj_set_warning_handler(codec.get(), ignoreMessage, nullptr);
    opj_set_info_handler(codec.get(), ignoreMessage, nullptr);
    if (!opj_setup_encoder(codec.get(), &parameters, image.get())) {
        throw std::runtime_error("JPEG 2000 encoder set-up failed: " + error);
    }
    Sink sink;
    std::unique_ptr<opj_stream_t, StreamDeleter> stream(opj_stream_create(1 << 16, OPJ_FALSE));
    opj_stream_set_user_data(stream.get(), &sink, nullptr);
    opj_stream_set_write_function(stream.get(), writeSink);
    opj_stream_set_skip_function(stream.get(), skipSink);
    opj_stream_set_seek_function(stream.get(), seekSink);
    if (!opj_start_compress(codec.get(), image.get(), stream.get()) ||
        !opj_encode(codec.get(), stream.get()) || !opj_end_compress(codec.get(), stream.get())) {
        throw std::runtime_error("JPEG 2000 encoding failed: " + error);
    }
    stream.reset(); // flushes what is still buffered
    return std::move(sink.bytes);
}

} // namespace ravlen::toolkit::j2k
