/* description.cpp - the readable description of an animation file, one statement a
 * line ('#' starts a comment; "..." quotes a path with spaces):
 *   animation [NAME]           starts the next animation (ID 300, 301, ...)
 *   forward FILE.wav           its sound when played forward
 *   backward FILE.wav          its sound when played backward
 *   frame FILE.png...          its next frames, in order
 *   frames PATTERN FIRST LAST  frames from a printf pattern: frames a%02d.png 0 9
 * Paths are relative to the description's folder. */
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fstream>

#include "tools/kesra-ani/ani_tool.h"

namespace kesra_ani {
namespace {

struct Parser {
    std::string name;
    std::string folder;
    int line = 0;
    std::string* error;

    bool fail(const std::string& what) {
        *error = name + ":" + std::to_string(line) + ": " + what;
        return false;
    }

    std::string resolve(const std::string& path) const {
        return path.empty() || path[0] == '/' || folder.empty() ? path : folder + "/" + path;
    }

    bool split(const std::string& text, std::vector<std::string>* words) {
        size_t i = 0;
        while (i < text.size()) {
            const char c = text[i];
            if (c == '#') break;
            if (c == ' ' || c == '\t' || c == '\r') {
                ++i;
            } else if (c == '"') {
                const size_t end = text.find('"', i + 1);
                if (end == std::string::npos) return fail("a quoted path is not closed");
                words->push_back(text.substr(i + 1, end - i - 1));
                i = end + 1;
            } else {
                size_t end = i;
                while (end < text.size() && text[end] != ' ' && text[end] != '\t' && text[end] != '\r' &&
                       text[end] != '#')
                    ++end;
                words->push_back(text.substr(i, end - i));
                i = end;
            }
        }
        return true;
    }

    bool number(const std::string& text, long* value) {
        char* end = nullptr;
        errno = 0;
        *value = std::strtol(text.c_str(), &end, 10);
        if (text.empty() || *end || errno == ERANGE || *value < 0 || *value > 99999)
            return fail("'" + text + "' is not a frame number from 0 to 99999");
        return true;
    }

    bool pattern_frames(const std::vector<std::string>& w, AnimationEntry* anim) {
        if (w.size() != 4) return fail("frames takes a pattern, a first and a last number");
        const std::string& pattern = w[1];
        const size_t percent = pattern.find('%');
        size_t conversion = percent == std::string::npos ? pattern.size() : percent + 1;
        while (conversion < pattern.size() && pattern[conversion] >= '0' && pattern[conversion] <= '9')
            ++conversion;
        if (conversion >= pattern.size() || pattern[conversion] != 'd' ||
            pattern.find('%', conversion) != std::string::npos)
            return fail("the pattern '" + pattern + "' needs exactly one %d (or %0Nd)");
        long first = 0, last = 0;
        if (!number(w[2], &first) || !number(w[3], &last)) return false;
        if (first > last) return fail("the first frame number is above the last");
        for (long n = first; n <= last; ++n) {
            char path[4096];
            std::snprintf(path, sizeof path, pattern.c_str(), static_cast<int>(n));
            anim->frames.push_back(resolve(path));
            anim->frame_lines.push_back(line);
        }
        return true;
    }

    bool statement(const std::vector<std::string>& w, std::vector<AnimationEntry>* out) {
        const std::string& key = w[0];
        if (key == "animation") {
            if (w.size() > 2) return fail("animation takes at most a name");
            AnimationEntry anim;
            if (w.size() == 2) anim.name = w[1];
            if (anim.name.size() > 31) return fail("the name '" + anim.name + "' is longer than 31 bytes");
            out->push_back(anim);
            return true;
        }
        if (key != "forward" && key != "backward" && key != "frame" && key != "frames")
            return fail("unknown statement '" + key + "' (animation, forward, backward, frame, frames)");
        if (out->empty()) return fail(key + " before the first 'animation'");
        AnimationEntry& anim = out->back();
        if (key == "frames") return pattern_frames(w, &anim);
        if (w.size() < 2) return fail(key + " takes a file");
        if (key == "frame") {
            for (size_t i = 1; i < w.size(); ++i) {
                anim.frames.push_back(resolve(w[i]));
                anim.frame_lines.push_back(line);
            }
            return true;
        }
        if (w.size() != 2) return fail(key + " takes one WAVE file");
        std::string& sound = key == "forward" ? anim.forward : anim.backward;
        if (!sound.empty()) return fail("the " + key + " sound is given twice");
        sound = resolve(w[1]);
        (key == "forward" ? anim.forward_line : anim.backward_line) = line;
        return true;
    }
};

}  // namespace

bool parse_description(const std::string& path, std::vector<AnimationEntry>* out, std::string* error) {
    std::ifstream in(path);
    if (!in) {
        *error = path + ": cannot open the description";
        return false;
    }
    Parser p{path, "", 0, error};
    const size_t slash = path.find_last_of('/');
    if (slash != std::string::npos) p.folder = path.substr(0, slash == 0 ? 1 : slash);
    out->clear();
    std::string text;
    while (std::getline(in, text)) {
        ++p.line;
        std::vector<std::string> words;
        if (!p.split(text, &words)) return false;
        if (!words.empty() && !p.statement(words, out)) return false;
    }
    if (out->empty()) {
        *error = path + ": no animation described";
        return false;
    }
    return true;
}

}  // namespace kesra_ani
