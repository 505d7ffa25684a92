/* ani_tool.h - kesra-ani's pieces: the readable description of an animation
 * file, the frames and sounds it names, the writer that lays the file out,
 * and the reader behind list. Errors come back as text that names the file
 * (and the description's line) and what was wrong. */
#ifndef KESRA_TOOLS_ANI_TOOL_H
#define KESRA_TOOLS_ANI_TOOL_H

#include <cstdint>
#include <string>
#include <vector>

namespace kesra_ani {

/* Written into the header's 32 bytes that the library does not read. */
extern const char* const kFileTag;

/* One animation as the description gives it: paths as written there,
 * relative to the description's folder. */
struct AnimationEntry {
    std::string name;
    std::string forward, backward;  // WAVE files; empty: no sound
    std::vector<std::string> frames;
    int forward_line = 0, backward_line = 0;  // where each file is named, for messages
    std::vector<int> frame_lines;
};

/* Parses the description; false with "DESCRIPTION:LINE: what" on the first error. */
bool parse_description(const std::string& path, std::vector<AnimationEntry>* out, std::string* error);

/* A frame as the file stores it: RGB565 and alpha levels 0-31. */
struct Frame {
    int width = 0;
    int height = 0;
    std::vector<uint16_t> pixels;
    std::vector<uint8_t> alpha;  // empty: no alpha plane
};

struct Animation {
    std::string name;
    std::vector<uint8_t> forward, backward;  // whole WAVE files; empty: no sound
    std::vector<Frame> frames;
};

/* Lays out a whole file: header, index, then each animation's record, frame
 * table, sounds (padded to an even length) and frames (zlib at `level`).
 * False when it would not fit the file's 32-bit signed offsets. */
bool assemble(const std::vector<Animation>& animations, int level, std::vector<uint8_t>* file,
              std::string* error);

/* A PNG file's frame: colour to RGB565, alpha A / 8; the alpha plane is left
 * out when every pixel is opaque, unless keep_alpha. */
bool load_frame_png(const std::string& path, bool keep_alpha, Frame* frame, std::string* error);

/* A WAVE file read whole and checked as the library checks it. */
bool load_wave(const std::string& path, std::vector<uint8_t>* wave, std::string* error);

struct Options {
    bool keep_alpha = false;
    bool quiet = false;
};

/* Builds out from the description; the output is removed on failure. */
bool build(const std::string& out, const std::string& description, const Options& options,
           std::string* error);

/* Prints every animation, its sounds and frames; damaged parts are named. */
bool list(const std::string& path, const std::vector<uint8_t>& data, std::string* error);

bool read_file(const std::string& path, std::vector<uint8_t>* data, std::string* error);

}  // namespace kesra_ani

#endif
