/* pack_tool.h - kesra-pack's pieces: PNG images turned into the library's
 * planes (RGB565, alpha levels 0-31), the three container writers, and the
 * readers behind list and extract. Errors come back as text that names the
 * file and what was wrong. */
#ifndef KESRA_TOOLS_PACK_TOOL_H
#define KESRA_TOOLS_PACK_TOOL_H

#include <cstdint>
#include <string>
#include <vector>

#include "tools/common/png565.h"

namespace kesra_pack {

enum class Format { Resource, Frames, Scene };

/* Written into bytes the library ignores, so that list knows the format. */
extern const char* const kResourceTag;
extern const char* const kFramesTag;
extern const char* const kSceneTag;
enum class Coding { Smaller, Raw, Coded };

struct Planes {
    int width = 0;
    int height = 0;
    std::vector<uint16_t> pixels;
    std::vector<uint8_t> alpha;  // empty when every pixel is opaque and alpha was not asked for
};

/* Colour ((R & 0xF8) << 8) | ((G & 0xFC) << 3) | (B >> 3); alpha A >> 3, the
 * rule the library's own PNG loader applies. */
Planes planes_from_rgba(const kesra::devutil::RgbaImage& image, bool keep_alpha);
/* Back to 8-bit RGBA: channels widened by repeating their top bits, alpha
 * level L as L * 255 / 31 (31 and above as 255). */
kesra::devutil::RgbaImage rgba_from_planes(const Planes& planes);

/* A block as stored in a resource pack: raw, or run-length pairs, whichever
 * is smaller (raw on a tie) unless forced. A coded block is never exactly the
 * raw size, or the reader would take it for raw. */
std::vector<uint8_t> pixel_block(const Planes& planes, Coding coding, bool* coded);
std::vector<uint8_t> alpha_block(const Planes& planes, Coding coding, bool* coded);

struct BuildOptions {
    Format format = Format::Resource;
    Coding coding = Coding::Smaller;
    bool keep_alpha = false;
    bool quiet = false;
};

/* Builds out from the PNG files in order (ID 300, 301, ... or scene index 1,
 * 2, ...). Returns false with a message; the output is removed then. */
bool build(const std::string& out, const std::vector<std::string>& inputs, const BuildOptions& options,
           std::string* error);

/* The format of a file's bytes: written by this tool (a tag in bytes the
 * reader ignores), else the first layout that parses. */
bool detect_format(const std::vector<uint8_t>& data, Format* format, std::string* error);

bool list(const std::string& path, const std::vector<uint8_t>& data, Format format, std::string* error);
/* id is the image ID (300 + index) for packs, the index (1 ... N) for scenes. */
bool extract(const std::string& path, const std::vector<uint8_t>& data, Format format, long id,
             const std::string& out, std::string* error);

bool read_file(const std::string& path, std::vector<uint8_t>* data, std::string* error);

}  // namespace kesra_pack

#endif
