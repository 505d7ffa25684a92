/* codepage.cpp - WideCharToMultiByte and MultiByteToWideChar: code page 936
 * from the library's own table, every other code page through glibc's iconv.
 * Wide text is UTF-16 in the machine's byte order. Characters that do not
 * convert become the default character ('?', or U+FFFD for UTF-8) unless the
 * caller asked for failure; nothing is written past the caller's size. */
#include <iconv.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "platform/cp936_table.h"
#include "winapi.h"

namespace kesra::platform {

namespace {

/* Every code unit's bytes (65536 entries), inverted from the rows once. */
const uint16_t* cp936_byte_table() {
    static const std::vector<uint16_t> bytes_of_unit = [] {
        std::vector<uint16_t> map(0x10000, 0);
        for (unsigned ascii = 0; ascii < 0x80; ++ascii) map[ascii] = static_cast<uint16_t>(ascii);
        map[kCp936Euro] = kCp936EuroByte;
        for (int lead = kCp936FirstLead; lead <= kCp936LastLead; ++lead)
            for (int entry = 0; entry < kCp936RowEntries; ++entry) {
                const uint16_t unit_of_pair = kCp936Rows[lead - kCp936FirstLead][entry];
                if (unit_of_pair)
                    map[unit_of_pair] = static_cast<uint16_t>(lead << 8 | (kCp936FirstTrail + entry));
            }
        return map;
    }();
    return bytes_of_unit.data();
}

}  // namespace

uint16_t cp936_bytes_of(char16_t unit) { return cp936_byte_table()[unit]; }

}  // namespace kesra::platform

namespace {

using namespace kesra::platform;

#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
constexpr const char* kUtf16 = "UTF-16BE";
#else
constexpr const char* kUtf16 = "UTF-16LE";
#endif

std::string charset_of_number(unsigned long number) {
    if (number == CP_UTF8) return "UTF-8";
    return "CP" + std::to_string(number);
}

/* The ANSI code page's iconv name: KESRA_ACP, a number or a name, else CP936. */
const std::string& ansi_charset() {
    static const std::string name = [] {
        const char* chosen = std::getenv("KESRA_ACP");
        if (!chosen || !*chosen) return std::string("CP936");
        char* end = nullptr;
        const unsigned long number = std::strtoul(chosen, &end, 10);
        if (*end == '\0' && number != 0) return charset_of_number(number);
        return std::string(chosen);
    }();
    return name;
}

std::string charset_of(UINT code_page) {
    if (code_page == CP_ACP || code_page == CP_OEMCP) return ansi_charset();
    return charset_of_number(code_page);
}

/* Converters are opened once per thread and direction: iconv_open is slow and
 * a descriptor must not be shared between threads. */
class ConverterCache {
   public:
    ~ConverterCache() {
        for (auto& entry : converters_) iconv_close(entry.second);
    }
    iconv_t get(const std::string& to, const std::string& from) {
        const std::string key = from + '>' + to;
        auto found = converters_.find(key);
        if (found != converters_.end()) {
            iconv(found->second, nullptr, nullptr, nullptr, nullptr);  // initial shift state
            return found->second;
        }
        iconv_t cd = iconv_open(to.c_str(), from.c_str());
        if (cd == reinterpret_cast<iconv_t>(-1)) return cd;
        converters_.emplace(key, cd);
        return cd;
    }

   private:
    std::map<std::string, iconv_t> converters_;
};

iconv_t converter(const std::string& to, const std::string& from) {
    thread_local ConverterCache cache;
    return cache.get(to, from);
}

/* Converts in_bytes bytes; an unconvertible unit of unit_bytes is replaced by
 * replacement (and counted in *replaced) or, when strict, fails. */
bool convert(iconv_t cd, const char* in, size_t in_bytes, size_t unit_bytes, const std::string& replacement,
             bool strict, std::string& out, int* replaced) {
    out.clear();
    char buffer[1024];
    char* input = const_cast<char*>(in);
    size_t left = in_bytes;
    while (left > 0) {
        char* output = buffer;
        size_t room = sizeof buffer;
        const size_t result = iconv(cd, &input, &left, &output, &room);
        const int error = errno;
        out.append(buffer, static_cast<size_t>(output - buffer));
        if (result != static_cast<size_t>(-1)) continue;
        if (error == E2BIG) continue;
        if (error != EILSEQ && error != EINVAL) return false;
        if (strict) return false;
        // A unit that does not convert (or a sequence cut short at the end).
        out += replacement;
        ++*replaced;
        const size_t skip = left < unit_bytes ? left : unit_bytes;
        input += skip;
        left -= skip;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
    char* output = buffer;
    size_t room = sizeof buffer;
    iconv(cd, nullptr, nullptr, &output, &room);  // any closing shift sequence
    out.append(buffer, static_cast<size_t>(output - buffer));
    return true;
}

constexpr const char* kTableCharset = "CP936";

/* Whether a code page converts through the table rather than iconv. */
bool uses_table(UINT code_page) {
    static const bool ansi_uses_table = ansi_charset() == kTableCharset;
    if (code_page == CP_ACP || code_page == CP_OEMCP) return ansi_uses_table;
    return code_page == 936;
}

/* UTF-16 to code page 936, one code unit at a time, straight into the
 * caller's buffer (labels are converted per string, so no allocation): a
 * unit the code page lacks (a surrogate included) becomes the replacement, as
 * iconv's route does. Returns the size needed when out_size is 0; writes
 * nothing and fails when the result does not fit. */
int utf16_to_cp936(const char16_t* in, size_t units, const char* replacement, char* out, int out_size,
                   BOOL* used_default_char) {
    const uint16_t* const bytes_of = cp936_byte_table();
    const size_t replacement_bytes = std::strlen(replacement);
    size_t needed = 0;
    bool replaced = false;
    for (size_t i = 0; i < units; ++i) {
        const uint16_t bytes = bytes_of[in[i]];
        if (bytes == 0 && in[i] != 0) {
            needed += replacement_bytes;
            replaced = true;
        } else {
            needed += bytes > 0xFF ? 2 : 1;
        }
    }
    if (used_default_char && replaced) *used_default_char = TRUE;
    if (needed > 0x7FFFFFFF || (out_size != 0 && (!out || needed > static_cast<size_t>(out_size)))) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    if (out_size == 0) return static_cast<int>(needed);
    for (size_t i = 0; i < units; ++i) {
        const uint16_t bytes = bytes_of[in[i]];
        if (bytes == 0 && in[i] != 0) {
            std::memcpy(out, replacement, replacement_bytes);
            out += replacement_bytes;
        } else if (bytes > 0xFF) {
            *out++ = static_cast<char>(bytes >> 8);
            *out++ = static_cast<char>(bytes & 0xFF);
        } else {
            *out++ = static_cast<char>(bytes);
        }
    }
    return static_cast<int>(needed);
}

/* Code page 936 to UTF-16: ASCII, the euro byte, or an assigned pair; any
 * other byte (a lone or cut-off lead byte, 0xFF) becomes '?' and decoding goes
 * on with the next byte, or the call fails when strict. */
bool cp936_to_utf16(const unsigned char* in, size_t bytes, bool strict, std::u16string& out) {
    out.clear();
    out.reserve(bytes);
    for (size_t i = 0; i < bytes;) {
        const unsigned char byte = in[i];
        if (byte < 0x80 || byte == kCp936EuroByte) {
            out += byte == kCp936EuroByte ? kCp936Euro : static_cast<char16_t>(byte);
            ++i;
            continue;
        }
        const char16_t unit = i + 1 < bytes ? cp936_pair_unit(byte, in[i + 1]) : 0;
        if (unit) {
            out += unit;
            i += 2;
            continue;
        }
        if (strict) return false;
        out += u'?';
        ++i;
    }
    return true;
}

/* Copies a result to the caller's buffer: the size needed when out_size is 0. */
template <typename Char>
int deliver(const std::basic_string<Char>& result, Char* out, int out_size) {
    if (result.size() > 0x7FFFFFFF) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    const int needed = static_cast<int>(result.size());
    if (out_size == 0) return needed;
    if (!out || needed > out_size) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    std::memcpy(out, result.data(), result.size() * sizeof(Char));
    return needed;
}

}  // namespace

extern "C" int WideCharToMultiByte(UINT code_page, DWORD flags, LPCWSTR text, int length, LPSTR out,
                                   int out_size, LPCSTR default_char, BOOL* used_default_char) {
    if (used_default_char) *used_default_char = FALSE;
    if (!text || length == 0 || length < -1 || out_size < 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    size_t units = 0;
    if (length == -1) {
        while (text[units]) ++units;
        ++units;  // the terminator is converted too
    } else {
        units = static_cast<size_t>(length);
    }
    if (uses_table(code_page))
        return utf16_to_cp936(text, units, default_char ? default_char : "?", out, out_size,
                              used_default_char);
    const std::string to = charset_of(code_page);
    iconv_t cd = converter(to, kUtf16);
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    const bool utf8 = to == "UTF-8";
    const std::string replacement = utf8 ? "\xEF\xBF\xBD" : default_char ? default_char : "?";
    const bool strict = utf8 && (flags & WC_ERR_INVALID_CHARS);
    std::string result;
    int replaced = 0;
    if (!convert(cd, reinterpret_cast<const char*>(text), units * 2, 2, replacement, strict, result,
                 &replaced)) {
        SetLastError(ERROR_NO_UNICODE_TRANSLATION);
        return 0;
    }
    if (used_default_char && replaced) *used_default_char = TRUE;
    return deliver(result, out, out_size);
}

extern "C" int MultiByteToWideChar(UINT code_page, DWORD flags, LPCSTR text, int length, LPWSTR out,
                                   int out_size) {
    if (!text || length == 0 || length < -1 || out_size < 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    const size_t bytes = length == -1 ? std::strlen(text) + 1 : static_cast<size_t>(length);
    const std::string from = charset_of(code_page);
    if (from == kTableCharset) {
        std::u16string wide;
        if (!cp936_to_utf16(reinterpret_cast<const unsigned char*>(text), bytes,
                            (flags & MB_ERR_INVALID_CHARS) != 0, wide)) {
            SetLastError(ERROR_NO_UNICODE_TRANSLATION);
            return 0;
        }
        return deliver(wide, out, out_size);
    }
    iconv_t cd = converter(kUtf16, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    const char16_t substitute = from == "UTF-8" ? u'\uFFFD' : u'?';
    std::string replacement(reinterpret_cast<const char*>(&substitute), 2);
    std::string result;
    int replaced = 0;
    if (!convert(cd, text, bytes, 1, replacement, (flags & MB_ERR_INVALID_CHARS) != 0, result, &replaced)) {
        SetLastError(ERROR_NO_UNICODE_TRANSLATION);
        return 0;
    }
    std::u16string wide(result.size() / 2, u'\0');
    std::memcpy(&wide[0], result.data(), wide.size() * 2);
    return deliver(wide, out, out_size);
}
