/* jpeg_decoder.h - the picture class's own baseline JPEG decoder: Huffman-coded
 * sequential DCT with 8-bit samples, every component decoded into a byte plane
 * at full resolution (chroma replicated), 3-component images turned from YCbCr
 * into R, G, B planes at EOI. Planes are (MCUs across * 8 * Hmax) wide and
 * (MCUs down * 8 * Vmax) high; reads never leave the given bytes. */
#ifndef KESRA_IMAGE_JPEG_DECODER_H
#define KESRA_IMAGE_JPEG_DECODER_H

#include <cstddef>
#include <cstdint>
#include <vector>

namespace kesra::pic {

/* The inverse DCT a decode uses; the picture class passes kJpegIdctInteger. */
enum JpegIdct : int { kJpegIdctFloat = 0, kJpegIdctInteger = 1, kJpegIdctNone = 2 };

/* Status after a decode: 0 while decoding and after success. */
enum JpegStatus : int {
    kJpegOk = 0,
    kJpegRestartError = 1,  // a DRI segment of the wrong length
    kJpegFrameError = 2,    // SOF refused: another SOF type, bad fields, absurd size
    kJpegQuantError = 3,    // a DQT segment refused
    kJpegNoEoi = 4,         // the data ended or a non-marker stood where a marker belongs
    kJpegHuffmanError = 5,  // a DHT segment refused
    kJpegScanError = 6,     // an SOS header refused or its data undecodable
};

/* Frames whose planes together hold more samples than this are refused. */
constexpr uint64_t kJpegMaxPlaneSamples = uint64_t{1} << 26;
constexpr int kJpegMaxComponents = 4;

class JpegDecoder {
   public:
    JpegDecoder() = default;
    JpegDecoder(const JpegDecoder&) = delete;
    JpegDecoder& operator=(const JpegDecoder&) = delete;

    /* True when the stream reached EOI after a frame and a scan; otherwise the
     * status says why and no image is held. */
    bool decode_memory(const uint8_t* data, size_t size, int idct = kJpegIdctInteger);
    /* path is an ANSI (code page) string, as the picture class gets it. */
    bool decode_file(const char* path, int idct = kJpegIdctInteger);

    /* Frees the planes and the tables and clears the state. */
    void release();

    int status() const { return status_; }
    int width() const { return width_; }
    int height() const { return height_; }
    int plane_width() const { return plane_width_; }
    int plane_height() const { return plane_height_; }
    int components() const { return static_cast<int>(planes_.size()); }
    /* Plane i in frame order (R, G, B after a 3-component decode); null past the last. */
    const uint8_t* plane(int i) const { return i >= 0 && i < components() ? planes_[i].data() : nullptr; }
    /* Sampling factors of frame component i, for tests and the picture class. */
    int h_sampling(int i) const { return frame_[i].h; }
    int v_sampling(int i) const { return frame_[i].v; }
    int restart_interval() const { return restart_interval_; }

    struct Huffman {
        bool defined = false;
        uint16_t lookup[1 << 9];  // (length << 8) | symbol for codes up to 9 bits, 0 otherwise
        // For AC codes whose code and value bits fit 9 bits, 0 otherwise:
        // (value << 16) | (run << 8) | (code length << 4) | value length.
        int32_t fast_ac[1 << 9];
        int32_t max_code[18];  // largest code of each length, -1 without one
        int32_t first_code[17];
        int32_t first_index[17];  // index in symbols of the first code of each length
        uint8_t symbols[256];
    };

    struct Component {
        int id = 0, h = 0, v = 0, quant = 0;
        int dc_table = 0, ac_table = 0, predictor = 0;
    };

   private:
    bool run(const uint8_t* data, size_t size, int idct);
    bool read_frame(const uint8_t* p, size_t length);
    bool read_huffman(const uint8_t* p, size_t length);
    bool read_quant(const uint8_t* p, size_t length);
    bool read_scan(const uint8_t* data, size_t size, size_t* pos, size_t length);
    void convert_colours();

    int status_ = kJpegOk;
    int width_ = 0, height_ = 0, plane_width_ = 0, plane_height_ = 0;
    int h_max_ = 0, v_max_ = 0, mcus_across_ = 0, mcus_down_ = 0;
    int restart_interval_ = 0;
    int idct_ = kJpegIdctInteger;
    bool frame_seen_ = false;
    int scans_ = 0;
    uint8_t quant_[4][64] = {};
    bool quant_defined_[4] = {};
    Huffman dc_[2], ac_[2];
    Component frame_[kJpegMaxComponents];
    std::vector<std::vector<uint8_t>> planes_;
};

/* The inverse DCTs of one dequantised block (natural order) into 8 x 8 samples
 * at out with the given row stride. */
void jpeg_idct_integer(const int32_t* coefficients, uint8_t* out, int stride);
/* The same integer IDCT one column and one row at a time, in 64 bits where a
 * value could outgrow 32: what jpeg_idct_integer falls back on and must equal. */
void jpeg_idct_integer_plain(const int32_t* coefficients, uint8_t* out, int stride);
void jpeg_idct_float(const int32_t* coefficients, uint8_t* out, int stride);

/* The YCbCr to RGB step of one sample triple, in 16.16 fixed point. */
void jpeg_ycc_to_rgb(int y, int cb, int cr, uint8_t* r, uint8_t* g, uint8_t* b);
/* count R, G and B samples as RGB565 pixels (the top 5, 6 and 5 bits). */
void jpeg_rgb_to_565(const uint8_t* r, const uint8_t* g, const uint8_t* b, uint16_t* out, size_t count);
/* jpeg_ycc_to_rgb over count samples in place: Y, Cb, Cr become R, G, B. */
void jpeg_ycc_planes_to_rgb(uint8_t* y, uint8_t* cb, uint8_t* cr, size_t count);

}  // namespace kesra::pic

#endif
