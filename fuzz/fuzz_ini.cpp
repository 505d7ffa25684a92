/* fuzz_ini.cpp - the UI configuration file on arbitrary bytes. The input is
 * written both as a skin file inside an "Orvantis" folder and as the main
 * file beside it, so that the lookups, the texts, the main-file reads and the
 * button write-back all run; every result buffer is fenced and checked. */
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "ceini.h"

namespace {

struct Files {
    std::u16string skin;
    std::string skin_path, main_path;
};

const Files& files() {
    static const Files f = [] {
        char pattern[] = "/tmp/kesra_fuzz_ini_XXXXXX";
        const std::string dir = mkdtemp(pattern);
        mkdir((dir + "/Orvantis").c_str(), 0755);
        Files out;
        out.skin_path = dir + "/Orvantis/skin.ini";
        out.main_path = dir + "/Orvantis.ini";
        out.skin.assign(out.skin_path.begin(), out.skin_path.end());
        return out;
    }();
    return f;
}

void write(const std::string& path, const uint8_t* data, size_t size) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) std::abort();
    if (size) std::fwrite(data, 1, size, f);
    std::fclose(f);
}

constexpr uint8_t kFence = 0xA5;

template <typename T>
struct Fenced {
    uint8_t before[32];
    T value;
    uint8_t after[32];
    Fenced() { std::memset(this, kFence, sizeof *this); }
    void check() const {
        for (int i = 0; i < 32; ++i)
            if (before[i] != kFence || after[i] != kFence) std::abort();
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const Files& f = files();
    write(f.skin_path, data, size);
    write(f.main_path, data, size);
    CIniCtrl ini;
    if (!CIniCtrl::OpenFile(reinterpret_cast<const WCHAR*>(f.skin.c_str()))) return 0;
    Fenced<char[32]> version;
    ini.ReadVersion(version.value);
    version.check();
    for (int page = -1; page < 4; ++page) {
        ini.GetBackgroundNum(page);
        const int buttons = ini.GetButtonNum(page);
        for (int index = -1; index <= buttons && index < 6; ++index) {
            Fenced<tagINIBUTTON> button;
            if (ini.ReadButton(page, index, &button.value)) ini.WriteButton(page, index, &button.value);
            ini.ReadNaviConfig(page, index, &button.value);
            button.check();
            for (int text = 0; text < 5; ++text) {
                Fenced<uint8_t[128]> buf;
                ini.ReadButtonText(page, index, text, buf.value, text == 4 ? 300 : 128);
                buf.check();
            }
        }
    }
    CIniCtrl::CloseFile();
    return 0;
}
