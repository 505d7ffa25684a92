/* ql_zlib.cpp - zlib blocks of the compressed frame pack and the animation
 * frames: compress2 into a buffer of the worst-case size, and inflate into an
 * output grown 1,363,149 bytes at a time up to limits::kMaxInflatedBytes.
 * Outputs are malloc'ed; on failure the caller gets a null buffer, a length
 * of 0 and zlib's error code. Loaders that know the size to expect inflate
 * into their own plane with inflate_exact and stop at its end. */
#include <zlib.h>

#include <algorithm>
#include <cstdlib>

#include "image/ql_module.h"

namespace {

constexpr uint64_t kInflatePiece = 1363149;

void clear_output(BYTE** out, DWORD* out_length) {
    *out = nullptr;
    *out_length = 0;
}

/* Shrinks a buffer to its used length; a failed shrink keeps the larger one. */
BYTE* shrink(BYTE* buffer, size_t used) {
    auto* smaller = static_cast<BYTE*>(std::realloc(buffer, used ? used : 1));
    return smaller ? smaller : buffer;
}

}  // namespace

extern "C" LONG QLCompress(BYTE** out, DWORD* outLen, const BYTE* in, DWORD inLen, LONG level) {
    if (!out || !outLen) return Z_STREAM_ERROR;
    clear_output(out, outLen);
    if (level < -1 || level > 9) return Z_DATA_ERROR;
    if (!in && inLen) return Z_STREAM_ERROR;
    // The historical bound, or the installed zlib's when that is larger.
    uint64_t bound = uint64_t{inLen} + (inLen >> 12) + (inLen >> 14) + 11;
    if (compressBound(inLen) > bound) bound = compressBound(inLen);
    if (bound > 0xFFFFFFFFu) return Z_MEM_ERROR;
    auto* buffer = static_cast<BYTE*>(std::malloc(static_cast<size_t>(bound)));
    if (!buffer) return Z_MEM_ERROR;
    uLongf length = static_cast<uLongf>(bound);
    const int result = compress2(buffer, &length, in, inLen, static_cast<int>(level));
    if (result != Z_OK) {
        std::free(buffer);
        return result;
    }
    *out = shrink(buffer, length);
    *outLen = static_cast<DWORD>(length);
    return Z_OK;
}

extern "C" LONG QLDecompress(BYTE** out, DWORD* outLen, const BYTE* in, DWORD inLen) {
    if (!out || !outLen) return Z_STREAM_ERROR;
    clear_output(out, outLen);
    if (!in && inLen) return Z_STREAM_ERROR;

    uint64_t capacity = kInflatePiece;
    auto* buffer = static_cast<BYTE*>(std::malloc(static_cast<size_t>(capacity)));
    if (!buffer) return Z_MEM_ERROR;
    z_stream stream{};
    stream.next_in = const_cast<Bytef*>(in);
    stream.avail_in = inLen;
    int result = inflateInit(&stream);
    if (result != Z_OK) {
        std::free(buffer);
        return result;
    }
    for (;;) {
        stream.next_out = buffer + stream.total_out;
        stream.avail_out = static_cast<uInt>(capacity - stream.total_out);
        result = inflate(&stream, Z_NO_FLUSH);
        if (result == Z_STREAM_END) break;  // bytes after the stream are ignored
        if (result == Z_NEED_DICT) result = Z_DATA_ERROR;
        if (result == Z_OK && stream.avail_out == 0) {
            // Output space ran out: grow it, up to the documented limit.
            if (capacity >= kesra::limits::kMaxInflatedBytes) {
                result = Z_MEM_ERROR;
            } else {
                const uint64_t grown = std::min(capacity + kInflatePiece, kesra::limits::kMaxInflatedBytes);
                auto* larger = static_cast<BYTE*>(std::realloc(buffer, static_cast<size_t>(grown)));
                if (larger) {
                    buffer = larger;
                    capacity = grown;
                    continue;
                }
                result = Z_MEM_ERROR;
            }
        } else if (result == Z_OK || result == Z_BUF_ERROR) {
            result = Z_DATA_ERROR;  // the input ended before the stream did
        }
        inflateEnd(&stream);
        std::free(buffer);
        return result;
    }
    const size_t produced = stream.total_out;
    inflateEnd(&stream);
    *out = shrink(buffer, produced);
    *outLen = static_cast<DWORD>(produced);
    return Z_OK;
}

namespace kesra::ql {

bool inflate_exact(const uint8_t* in, size_t in_bytes, uint8_t* out, size_t out_bytes) {
    if (!in || !out || in_bytes > UINT32_MAX || out_bytes > UINT32_MAX) return false;
    z_stream stream{};
    stream.next_in = const_cast<Bytef*>(in);
    stream.avail_in = static_cast<uInt>(in_bytes);
    if (inflateInit(&stream) != Z_OK) return false;
    stream.next_out = out;
    stream.avail_out = static_cast<uInt>(out_bytes);
    int result = inflate(&stream, Z_FINISH);
    if ((result == Z_OK || result == Z_BUF_ERROR) && stream.avail_out == 0) {
        // The plane is full: the block is sound only if nothing is left to come.
        uint8_t probe;
        stream.next_out = &probe;
        stream.avail_out = 1;
        result = inflate(&stream, Z_FINISH);
        if (stream.avail_out == 0) result = Z_DATA_ERROR;  // it would give more
    }
    inflateEnd(&stream);
    return result == Z_STREAM_END && stream.total_out == out_bytes;
}

}  // namespace kesra::ql
