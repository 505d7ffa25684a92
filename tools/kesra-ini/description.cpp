/* description.cpp - the readable form of a UI configuration file, one
 * statement a line ('#' starts a comment):
 *   version "Ver 1.0"                 page ID backgrounds N
 *   button                            then fields: id, type, rect L T R B,
 *   images N D X, color, font, align, action, param, name "..."
 *   button hex <296 hex digits>       the 148 bytes as they are
 *   text T "..."  |  text T hex <256 hex digits>   (T = 0-3)
 * Strings are UTF-8 and are stored as GBK; they take \" \\ \n \t and \xNN
 * (a byte stored as it is). A text holds at most 127 bytes once stored. */
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>

#include "bitmap/pack_format.h"
#include "tools/kesra-ini/ini_tool.h"

namespace kesra_ini {

using namespace kesra::ini;

namespace {

/* Fields of a button record as the application lays it out (tagINIBUTTON). */
struct Field {
    const char* name;
    size_t offset;
    int count;
    bool is_signed;
};
constexpr Field kFields[] = {
    {"id", 0, 1, false},      {"type", 4, 1, false},    {"rect", 8, 4, true},
    {"images", 24, 3, false}, {"color", 36, 1, false},  {"font", 40, 1, false},
    {"align", 44, 1, false},  {"action", 48, 1, false}, {"param", 52, 1, false},
};
constexpr size_t kNameAt = 56;
constexpr size_t kNameBytes = 32;
constexpr size_t kReservedAt = 88;

struct Token {
    std::string text;
    bool quoted = false;
};

struct Parser {
    std::string name;
    int line = 0;
    std::string* error;

    bool fail(const std::string& what) {
        *error = name + ":" + std::to_string(line) + ": " + what;
        return false;
    }

    bool unescape(const std::string& in, size_t* i, std::string* out) {
        const char c = in[++*i];
        switch (c) {
            case 'n':
                *out += '\n';
                return true;
            case 't':
                *out += '\t';
                return true;
            case '"':
            case '\\':
                *out += c;
                return true;
            case 'x':
                if (*i + 2 < in.size() && std::isxdigit(static_cast<unsigned char>(in[*i + 1])) &&
                    std::isxdigit(static_cast<unsigned char>(in[*i + 2]))) {
                    *out += static_cast<char>(std::strtoul(in.substr(*i + 1, 2).c_str(), nullptr, 16));
                    *i += 2;
                    return true;
                }
                return fail("\\x takes two hex digits");
            default:
                return fail(std::string("unknown escape \\") + c);
        }
    }

    /* UTF-8 text runs become GBK; a \xNN escape is one byte as it is. */
    bool flush_as_gbk(std::string* utf8, std::string* out) {
        std::string gbk, why;
        if (!gbk_from_utf8(*utf8, &gbk, &why)) return fail(why);
        *out += gbk;
        utf8->clear();
        return true;
    }

    /* The string opening at in[*i]; *i ends past its closing quote. */
    bool quoted_string(const std::string& in, size_t* i, std::string* out) {
        std::string run;
        for (++*i;; ++*i) {
            if (*i >= in.size()) return fail("a string is not closed");
            if (in[*i] == '"') break;
            if (in[*i] != '\\') {
                run += in[*i];
                continue;
            }
            if (*i + 1 >= in.size()) return fail("a string is not closed");
            if (in[*i + 1] == 'x' && !flush_as_gbk(&run, out)) return false;
            if (!unescape(in, i, in[*i + 1] == 'x' ? out : &run)) return false;
        }
        ++*i;
        return flush_as_gbk(&run, out);
    }

    bool tokenize(const std::string& in, std::vector<Token>* tokens) {
        tokens->clear();
        size_t i = 0;
        while (i < in.size()) {
            if (std::isspace(static_cast<unsigned char>(in[i]))) {
                ++i;
                continue;
            }
            if (in[i] == '#') break;
            Token t;
            if (in[i] == '"') {
                t.quoted = true;
                if (!quoted_string(in, &i, &t.text)) return false;
            } else {
                while (i < in.size() && !std::isspace(static_cast<unsigned char>(in[i])) && in[i] != '#')
                    t.text += in[i++];
            }
            tokens->push_back(t);
        }
        return true;
    }

    bool number(const Token& t, long long low, long long high, long long* value) {
        char* end = nullptr;
        errno = 0;
        const long long v = std::strtoll(t.text.c_str(), &end, 0);
        if (t.quoted || t.text.empty() || *end) return fail("'" + t.text + "' is not a number");
        if (errno == ERANGE || v < low || v > high)
            return fail(t.text + " is out of range " + std::to_string(low) + " to " + std::to_string(high));
        *value = v;
        return true;
    }

    bool hex(const Token& t, uint8_t* out, size_t bytes) {
        if (t.text.size() != bytes * 2)
            return fail("expected " + std::to_string(bytes * 2) + " hex digits, not " +
                        std::to_string(t.text.size()));
        for (size_t i = 0; i < bytes; ++i) {
            const std::string pair = t.text.substr(i * 2, 2);
            if (!std::isxdigit(static_cast<unsigned char>(pair[0])) ||
                !std::isxdigit(static_cast<unsigned char>(pair[1])))
                return fail("'" + pair + "' is not a hex byte");
            out[i] = static_cast<uint8_t>(std::strtoul(pair.c_str(), nullptr, 16));
        }
        return true;
    }

    bool string_into(const Token& t, uint8_t* out, size_t field_bytes, const char* what) {
        if (!t.quoted) return fail(std::string(what) + " takes a quoted string");
        if (t.text.size() >= field_bytes)
            return fail(std::string(what) + " holds at most " + std::to_string(field_bytes - 1) +
                        " bytes, not " + std::to_string(t.text.size()));
        std::memset(out, 0, field_bytes);
        std::memcpy(out, t.text.data(), t.text.size());
        return true;
    }

    bool statement(const std::vector<Token>& tk, Config* config, bool* version_seen) {
        const std::string& word = tk[0].text;
        const size_t args = tk.size() - 1;
        Page* page = config->pages.empty() ? nullptr : &config->pages.back();
        Button* button = page && !page->buttons.empty() ? &page->buttons.back() : nullptr;
        if (word == "version") {
            if (args != 1 || !tk[1].quoted) return fail("version takes one quoted string");
            if (*version_seen) return fail("a second version line");
            if (tk[1].text.size() >= kVersionBytes) return fail("the version holds at most 31 bytes");
            config->version = tk[1].text;
            *version_seen = true;
            return true;
        }
        if (word == "page") {
            long long id = 0, backgrounds = 0;
            if (args != 3 || tk[2].text != "backgrounds") return fail("expected: page ID backgrounds N");
            if (!number(tk[1], 0, UINT32_MAX, &id) || !number(tk[3], 0, INT32_MAX, &backgrounds))
                return false;
            if (config->pages.size() >= static_cast<size_t>(kMaxPages))
                return fail("more than " + std::to_string(kMaxPages) + " pages");
            config->pages.push_back(Page{static_cast<uint32_t>(id), static_cast<int32_t>(backgrounds), {}});
            return true;
        }
        if (word == "button") {
            if (!page) return fail("a button before any page");
            if (page->buttons.size() >= static_cast<size_t>(kMaxButtons))
                return fail("more than " + std::to_string(kMaxButtons) + " buttons on page " +
                            std::to_string(config->pages.size() - 1));
            page->buttons.emplace_back();
            if (args == 0) return true;
            if (args != 2 || tk[1].text != "hex")
                return fail("expected: button, or button hex <296 hex digits>");
            return hex(tk[2], page->buttons.back().record.data(), kButtonBytes);
        }
        if (!button) return fail("'" + word + "' outside a button");
        if (word == "text") {
            long long index = 0;
            if (args < 2 || !number(tk[1], 0, kTextsPerButton - 1, &index))
                return args < 2 ? fail("expected: text T \"...\"") : false;
            uint8_t* out = button->texts[static_cast<size_t>(index)].data();
            if (args == 3 && tk[2].text == "hex" && !tk[2].quoted) return hex(tk[3], out, kTextBytes);
            if (args != 2) return fail("expected: text T \"...\" or text T hex <256 hex digits>");
            return string_into(tk[2], out, kTextBytes, "a text");
        }
        if (word == "name") {
            if (args != 1) return fail("name takes one quoted string");
            return string_into(tk[1], button->record.data() + kNameAt, kNameBytes, "a name");
        }
        for (const Field& f : kFields) {
            if (word != f.name) continue;
            if (args != static_cast<size_t>(f.count))
                return fail(word + " takes " + std::to_string(f.count) +
                            (f.count == 1 ? " number" : " numbers"));
            for (int k = 0; k < f.count; ++k) {
                long long v = 0;
                if (!number(tk[1 + k], f.is_signed ? INT32_MIN : 0, f.is_signed ? INT32_MAX : UINT32_MAX, &v))
                    return false;
                kesra::pack::write_le32(button->record.data() + f.offset + 4 * k, static_cast<uint32_t>(v));
            }
            return true;
        }
        return fail("'" + word + "' is not a statement or button field");
    }
};

/* Printable ASCII as it is, GBK characters as UTF-8, other bytes as \xNN. */
std::string quote(const uint8_t* bytes, size_t n) {
    std::string out = "\"";
    for (size_t i = 0; i < n;) {
        const uint8_t c = bytes[i];
        if (c >= 0x80) {
            const size_t length = gbk_char_as_utf8(bytes + i, n - i, &out);
            if (length) {
                i += length;
                continue;
            }
        }
        char escaped[8];
        if (c == '"' || c == '\\')
            out += '\\', out += static_cast<char>(c);
        else if (c == '\n')
            out += "\\n";
        else if (c == '\t')
            out += "\\t";
        else if (c >= 0x20 && c < 0x7F)
            out += static_cast<char>(c);
        else
            std::snprintf(escaped, sizeof escaped, "\\x%02X", c), out += escaped;
        ++i;
    }
    return out + "\"";
}

std::string hex_of(const uint8_t* bytes, size_t n) {
    std::string out;
    char pair[3];
    for (size_t i = 0; i < n; ++i) std::snprintf(pair, sizeof pair, "%02X", bytes[i]), out += pair;
    return out;
}

/* Bytes that read as a string: a run of text, then zeros to the end. */
bool string_shaped(const uint8_t* bytes, size_t n, size_t* length) {
    *length = strnlen(reinterpret_cast<const char*>(bytes), n);
    if (*length == n) return false;
    for (size_t i = *length; i < n; ++i)
        if (bytes[i]) return false;
    return true;
}

bool fields_shaped(const Record& r) {
    size_t length = 0;
    for (size_t i = kReservedAt; i < kButtonBytes; ++i)
        if (r[i]) return false;
    return string_shaped(r.data() + kNameAt, kNameBytes, &length);
}

}  // namespace

bool parse_description(const std::string& text, const std::string& name, Config* config, std::string* error) {
    Parser parser{name, 0, error};
    Config out;
    bool version_seen = false;
    std::istringstream lines(text);
    std::string line;
    std::vector<Token> tokens;
    while (std::getline(lines, line)) {
        ++parser.line;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (!parser.tokenize(line, &tokens)) return false;
        if (tokens.empty()) continue;
        if (tokens[0].quoted) return parser.fail("a line starts with a string");
        if (!parser.statement(tokens, &out, &version_seen)) return false;
    }
    *config = std::move(out);
    return true;
}

std::string describe(const Config& config) {
    std::string out = "version " +
                      quote(reinterpret_cast<const uint8_t*>(config.version.data()), config.version.size()) +
                      "\n";
    for (size_t p = 0; p < config.pages.size(); ++p) {
        const Page& page = config.pages[p];
        out += "\n# page " + std::to_string(p) + ": " + std::to_string(page.buttons.size()) + " buttons\n";
        out += "page " + std::to_string(page.id) + " backgrounds " + std::to_string(page.backgrounds) + "\n";
        for (const Button& b : page.buttons) {
            if (!fields_shaped(b.record)) {
                out += "button hex " + hex_of(b.record.data(), kButtonBytes) + "\n";
            } else {
                out += "button\n";
                for (const Field& f : kFields) {
                    out += std::string("  ") + f.name;
                    for (int k = 0; k < f.count; ++k) {
                        const uint32_t v = kesra::pack::read_le32(b.record.data() + f.offset + 4 * k);
                        char hex[16];
                        std::snprintf(hex, sizeof hex, "0x%04X", v);
                        out += " " + (f.is_signed                    ? std::to_string(static_cast<int32_t>(v))
                                      : std::strcmp(f.name, "color") ? std::to_string(v)
                                                                     : std::string(hex));
                    }
                    out += "\n";
                }
                size_t length = 0;
                string_shaped(b.record.data() + kNameAt, kNameBytes, &length);
                out += "  name " + quote(b.record.data() + kNameAt, length) + "\n";
            }
            for (int t = 0; t < kTextsPerButton; ++t) {
                size_t length = 0;
                const uint8_t* bytes = b.texts[t].data();
                if (!string_shaped(bytes, kTextBytes, &length))
                    out += "  text " + std::to_string(t) + " hex " + hex_of(bytes, kTextBytes) + "\n";
                else if (length)
                    out += "  text " + std::to_string(t) + " " + quote(bytes, length) + "\n";
            }
        }
    }
    return out;
}

}  // namespace kesra_ini
