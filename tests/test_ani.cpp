/* test_ani.cpp - CAniCtrl and PlaySoundW: frames drawn exactly (opaque,
 * blended, scaled, centred), the order of whole plays and of frame ranges,
 * the frame delay, sounds handed to the sound handler byte for byte, WAVE
 * images accepted and refused (made here, and real files from Debian
 * packages), and damaged files failing without disturbing the open file.
 * Files are laid out by kesra-ani's writer from frames made here; damaged
 * ones are those files with bytes changed. */
#include <gtest/gtest.h>

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <mutex>

#include "anim/ani_format.h"
#include "anim/ani_frames.h"
#include "anim/ani_sound.h"
#include "core/pixel.h"
#include "kesra.h"
#include "platform/sound.h"
#include "surface/shared_state.h"
#include "tests/test_bitmap_helpers.h"
#include "tests/test_helpers.h"
#include "tools/common/png565.h"
#include "tools/kesra-ani/ani_tool.h"

using namespace kesra;
using namespace kesra::test;

namespace {

/* A PCM WAVE file; `extra` chunks (id and body) go between fmt and data. */
std::vector<uint8_t> make_wave(uint32_t rate, uint16_t channels, uint16_t bits,
                               const std::vector<uint8_t>& samples,
                               const std::vector<std::pair<std::string, std::vector<uint8_t>>>& extra = {}) {
    std::vector<uint8_t> w;
    auto put32 = [&](uint32_t v) {
        for (int i = 0; i < 4; ++i) w.push_back(static_cast<uint8_t>(v >> (8 * i)));
    };
    auto put16 = [&](uint16_t v) {
        w.insert(w.end(), {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8)});
    };
    auto chunk = [&](const std::string& id, const std::vector<uint8_t>& body, bool pad) {
        w.insert(w.end(), id.begin(), id.end());
        put32(static_cast<uint32_t>(body.size()));
        w.insert(w.end(), body.begin(), body.end());
        if (pad && (body.size() & 1)) w.push_back(0);
    };
    w.insert(w.end(), {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
    put32(16);
    put16(1);
    put16(channels);
    put32(rate);
    put32(rate * channels * bits / 8);
    put16(static_cast<uint16_t>(channels * bits / 8));
    put16(bits);
    for (const auto& [id, body] : extra) chunk(id, body, true);
    chunk("data", samples, false);  // the image may end on an odd byte
    ani::store32(w.data() + 4, static_cast<uint32_t>(w.size() - 8));
    return w;
}

kesra_ani::Frame solid(int w, int h, uint16_t color, std::vector<uint8_t> alpha = {}) {
    kesra_ani::Frame f;
    f.width = w;
    f.height = h;
    f.pixels.assign(static_cast<size_t>(w) * h, color);
    f.alpha = std::move(alpha);
    return f;
}

/* Frame i of a strip is filled with colour 0x0100 * (i + 1): the colour names the frame. */
kesra_ani::Animation strip(int frames, int w = 2, int h = 2) {
    kesra_ani::Animation a;
    for (int i = 0; i < frames; ++i) a.frames.push_back(solid(w, h, static_cast<uint16_t>(0x0100 * (i + 1))));
    return a;
}
int frame_of(uint16_t color) { return color / 0x0100 - 1; }

std::vector<uint8_t> assemble(const std::vector<kesra_ani::Animation>& animations) {
    std::vector<uint8_t> file;
    std::string error;
    EXPECT_TRUE(kesra_ani::assemble(animations, 6, &file, &error)) << error;
    return file;
}

int open(const std::vector<uint8_t>& file, const std::string& name = "test.ani") {
    const std::string path = scratch_dir() + "/" + name;
    write_bytes(path, file);
    return CAniCtrl::OpenFile(reinterpret_cast<const WCHAR*>(wide(path).c_str()));
}

tagANICTRL request(CCEDraw* dc, int id, int x = 0, int y = 0) {
    tagANICTRL a{};
    a.nAniID = id;
    a.pDraw = dc;
    a.nX = x;
    a.nY = y;
    return a;
}

/* Records pixel (1, 1) of every presented frame and whether the overlay was paused. */
struct PresentLog {
    static std::vector<uint16_t>& seen() {
        static std::vector<uint16_t> s;
        return s;
    }
    static std::vector<int>& paused() {
        static std::vector<int> p;
        return p;
    }
    static void handler(HWND, const uint16_t* pixels, int width, int) {
        seen().push_back(pixels[width + 1]);
        paused().push_back(m_Overlay.bPause.load());
    }
    PresentLog() {
        seen().clear();
        paused().clear();
        HostSetPresentHandler(handler);
    }
    ~PresentLog() { HostSetPresentHandler(nullptr); }
    std::vector<int> frames() const {
        std::vector<int> out;
        for (uint16_t c : seen()) out.push_back(frame_of(c));
        return out;
    }
};

/* Collects the sounds the handler receives. */
struct SoundLog {
    static std::mutex& mutex() {
        static std::mutex m;
        return m;
    }
    static std::vector<std::vector<uint8_t>>& sounds() {
        static std::vector<std::vector<uint8_t>> s;
        return s;
    }
    static void handler(const uint8_t* wave, size_t bytes) {
        std::lock_guard<std::mutex> lock(mutex());
        sounds().emplace_back(wave, wave + bytes);
    }
    SoundLog() {
        sounds().clear();
        HostSetSoundHandler(handler);
    }
    ~SoundLog() {
        ani::wait_for_sounds(60000);
        HostSetSoundHandler(nullptr);
    }
    std::vector<std::vector<uint8_t>> received() {
        EXPECT_TRUE(ani::wait_for_sounds(60000));  // generous: the thread only copies bytes
        std::lock_guard<std::mutex> lock(mutex());
        return sounds();
    }
};

class Ani : public ::testing::Test {
   protected:
    void TearDown() override { CAniCtrl::CloseFile(); }
    Screen screen{16, 12};
    CAniCtrl ani;
};

TEST(AniFormat, FrameDelayAllowsFiftyMillisecondsOfWorkPerFrame) {
    EXPECT_EQ(ani::frame_delay(1000, 10), 50);
    EXPECT_LE(ani::frame_delay(400, 10), 0);
    EXPECT_EQ(ani::frame_delay(455, 3), 101);  // (455 - 150) / 3 truncated
    EXPECT_EQ(ani::frame_delay(-7, 2), -53);   // toward zero
}

TEST_F(Ani, FramesAreDrawnExactlyOpaqueAndBlended) {
    // Alpha 0 keeps the screen, 16 moves each component half way (rounded
    // down), 31 copies; a frame without alpha is opaque.
    kesra_ani::Animation a;
    a.frames.push_back(solid(3, 1, 0xFFFF, {0, 16, 31}));
    a.frames.push_back(solid(2, 2, 0x1234));
    ASSERT_EQ(open(assemble({a})), 1);
    screen.fill(0x0000);
    tagANICTRL r = request(screen.dc.get(), 300, 4, 5);
    ASSERT_EQ(ani.ShowFrame(r, 1), 1);
    EXPECT_EQ(screen.at(4, 5), 0x0000);
    EXPECT_EQ(screen.at(5, 5), 0x7BEF);
    EXPECT_EQ(screen.at(6, 5), 0xFFFF);
    EXPECT_EQ(screen.at(7, 5), 0x0000);
    EXPECT_EQ(screen.back(5, 5), 0x7BEF);  // and presented
    r.nFrom = r.nTo = 1;
    r.nX = -1;  // clipped on the left
    ASSERT_EQ(ani.ShowFrame(r, 1), 1);
    EXPECT_EQ(screen.at(0, 5), 0x1234);
    EXPECT_EQ(screen.at(0, 6), 0x1234);
    EXPECT_EQ(screen.at(1, 5), 0x0000);
    EXPECT_EQ(screen.at(5, 5), 0x7BEF);
}

TEST_F(Ani, PlayShowsEveryFrameForwardOrBackwardWithTheOverlayPaused) {
    ASSERT_EQ(open(assemble({strip(1), strip(4)})), 1);
    EXPECT_EQ(ani.GetFrameNum(301), 4);
    {
        PresentLog log;
        ASSERT_EQ(ani.Play(request(screen.dc.get(), 301)), 1);
        EXPECT_EQ(log.frames(), (std::vector<int>{0, 1, 2, 3}));
        EXPECT_EQ(PresentLog::paused(), (std::vector<int>{1, 1, 1, 1}));
    }
    EXPECT_EQ(m_Overlay.bPause.load(), 0);
    PresentLog log;
    tagANICTRL r = request(screen.dc.get(), 301);
    r.bReverse = 1;
    r.dwTime = 400;  // 4 frames in 400 ms: 50 ms each, all of it work
    ASSERT_EQ(ani.Play(r), 1);
    EXPECT_EQ(log.frames(), (std::vector<int>{3, 2, 1, 0}));
}

TEST_F(Ani, ShowFrameRanges) {
    ASSERT_EQ(open(assemble({strip(10), strip(12)})), 1);
    auto shown = [&](int id, int from, int to, int reverse, int flip = 1) {
        PresentLog log;
        tagANICTRL r = request(screen.dc.get(), id);
        r.nFrom = from;
        r.nTo = to;
        r.bReverse = reverse;
        EXPECT_EQ(ani.ShowFrame(r, flip), 1);
        return log.frames();
    };
    EXPECT_EQ(shown(300, 4, 4, 0), (std::vector<int>{4}));
    EXPECT_EQ(shown(300, 3, 5, 0), (std::vector<int>{3, 4, 5}));
    EXPECT_EQ(shown(300, 3, 5, 1), (std::vector<int>{6, 5, 4}));  // mirrored about the middle
    EXPECT_EQ(shown(300, 7, 2, 0), (std::vector<int>{7, 6, 5, 4, 3, 2}));
    // A range given backward shows the frames asked for on any length.
    EXPECT_EQ(shown(301, 7, 2, 0), (std::vector<int>{7, 6, 5, 4, 3, 2}));
    EXPECT_EQ(shown(301, 7, 2, 1), (std::vector<int>{7, 6, 5, 4, 3, 2}));
    // Without bFlip nothing is presented, but the back buffer holds the frame.
    EXPECT_TRUE(shown(300, 2, 2, 0, 0).empty());
    EXPECT_EQ(frame_of(screen.back(1, 1)), 2);

    PresentLog log;
    tagANICTRL r = request(screen.dc.get(), 300);
    for (auto [from, to] : {std::pair{-1, 3}, std::pair{0, 10}, std::pair{10, 0}}) {
        r.nFrom = from;
        r.nTo = to;
        EXPECT_EQ(ani.ShowFrame(r, 1), 0) << from << ".." << to;
    }
    EXPECT_TRUE(log.frames().empty());
}

TEST_F(Ani, ScaledAndCentredFrames) {
    kesra_ani::Frame f = solid(2, 2, 0);
    f.pixels = {0x1111, 0x2222, 0x3333, 0x4444};
    kesra_ani::Animation a;
    a.frames.push_back(f);
    ASSERT_EQ(open(assemble({a})), 1);
    screen.fill(0x0000);
    tagANICTRL r = request(screen.dc.get(), 300, 1, 1);
    r.nDstWidth = 4;
    r.nDstHeight = 4;
    ASSERT_EQ(ani.ShowFrame(r, 1), 1);
    // The image scaler's nearest neighbour: source index round(i * 2 / 4), held at the last.
    const uint16_t expect[4][4] = {{0x1111, 0x2222, 0x2222, 0x2222},
                                   {0x3333, 0x4444, 0x4444, 0x4444},
                                   {0x3333, 0x4444, 0x4444, 0x4444},
                                   {0x3333, 0x4444, 0x4444, 0x4444}};
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x) EXPECT_EQ(screen.at(1 + x, 1 + y), expect[y][x]) << x << "," << y;

    screen.fill(0x0000);
    r = request(screen.dc.get(), 300, 8, 6);
    r.nDstHeight = 100;  // one side alone does not scale
    r.bCenter = 1;
    ASSERT_EQ(ani.ShowFrame(r, 1), 1);
    EXPECT_EQ(screen.at(7, 5), 0x1111);
    EXPECT_EQ(screen.at(8, 6), 0x4444);
    EXPECT_EQ(screen.at(9, 7), 0x0000);
    EXPECT_EQ(screen.at(7, 7), 0x0000);
}

TEST_F(Ani, LookupsByIdentifier) {
    EXPECT_EQ(ani.GetFrameNum(300), 0);  // no file open
    ASSERT_EQ(open(assemble({strip(3), strip(0), strip(5)})), 1);
    EXPECT_EQ(ani.GetFrameNum(300), 3);
    EXPECT_EQ(ani.GetFrameNum(302), 5);
    EXPECT_EQ(ani.GetFrameNum(303), 0);
    EXPECT_EQ(ani.GetFrameNum(299), 0);
    EXPECT_EQ(ani.Play(request(screen.dc.get(), 299)), 0);
    EXPECT_EQ(ani.Play(request(screen.dc.get(), 303)), 0);
    PresentLog log;
    EXPECT_EQ(ani.Play(request(screen.dc.get(), 301)), 1);  // no frames: nothing shown
    EXPECT_TRUE(log.frames().empty());

    clear_log();
    EXPECT_EQ(CAniCtrl::OpenFile(u"/nonexistent/x.ani"), 0);
    EXPECT_EQ(ani.GetFrameNum(300), 0);  // the earlier file was closed
    // 动画文件路径错误：/nonexistent/x.ani
    EXPECT_EQ(log_text(),
              "\xB6\xAF\xBB\xAD\xCE\xC4\xBC\xFE\xC2\xB7\xBE\xB6\xB4\xED\xCE\xF3\xA3\xBA/nonexistent/x.ani");
}

TEST_F(Ani, TheSoundOfTheDirectionReachesTheHandlerWhole) {
    kesra_ani::Animation a = strip(2);
    a.forward = make_wave(8000, 1, 8, std::vector<uint8_t>(81, 0x80));  // odd: stored padded
    a.backward = make_wave(11025, 2, 16, {1, 2, 3, 4, 5, 6, 7, 8}, {{"LIST", {'x', 'y', 'z'}}});
    ASSERT_EQ(open(assemble({a, strip(1)})), 1);
    {
        SoundLog sounds;
        ASSERT_EQ(ani.Play(request(screen.dc.get(), 300)), 1);
        EXPECT_EQ(sounds.received(), std::vector<std::vector<uint8_t>>{a.forward});
    }
    {
        SoundLog sounds;
        tagANICTRL r = request(screen.dc.get(), 300);
        r.bReverse = 1;
        ASSERT_EQ(ani.Play(r), 1);
        r.nFrom = 0;
        r.nTo = 1;
        ASSERT_EQ(ani.ShowFrame(r, 1), 1);  // frames only
        EXPECT_EQ(sounds.received(), std::vector<std::vector<uint8_t>>{a.backward});
    }
    SoundLog sounds;
    ASSERT_EQ(ani.Play(request(screen.dc.get(), 301)), 1);  // no sound: plays silently
    EXPECT_TRUE(sounds.received().empty());
}

TEST_F(Ani, TheToolBuildsFromADescriptionOfPngFramesAndWaveFiles) {
    const std::string dir = scratch_dir() + "/tool";
    ASSERT_TRUE(devutil::make_directories(dir));
    for (int i = 0; i < 3; ++i) {
        devutil::RgbaImage png;
        png.width = 2;
        png.height = 1;
        // Left pixel opaque, right pixel at A = 130: level 130 / 8 = 16.
        png.rgba = {static_cast<uint8_t>(40 * i), 200, 100, 255, 255, 255, 255, 130};
        ASSERT_TRUE(devutil::write_png_rgba(dir + "/f" + std::to_string(i) + ".png", png));
    }
    const std::vector<uint8_t> wave = make_wave(8000, 1, 8, {1, 2, 3});
    write_bytes(dir + "/s.wav", wave);
    std::ofstream(dir + "/badge.txt")
        << "# two animations\nanimation one\nframes f%d.png 0 2\nbackward s.wav\n"
           "animation\nframe f2.png \"f0.png\"  # a comment\n";
    std::string error;
    kesra_ani::Options quiet;
    quiet.quiet = true;
    ASSERT_TRUE(kesra_ani::build(dir + "/out.ani", dir + "/badge.txt", quiet, &error)) << error;
    ASSERT_EQ(CAniCtrl::OpenFile(reinterpret_cast<const WCHAR*>(wide(dir + "/out.ani").c_str())), 1);
    EXPECT_EQ(ani.GetFrameNum(300), 3);
    EXPECT_EQ(ani.GetFrameNum(301), 2);
    screen.fill(0x0000);
    tagANICTRL r = request(screen.dc.get(), 300, 2, 3);
    r.nFrom = r.nTo = 1;
    ASSERT_EQ(ani.ShowFrame(r, 1), 1);
    EXPECT_EQ(screen.at(2, 3), narrow565(40, 200, 100));
    EXPECT_EQ(screen.at(3, 3), 0x7BEF);  // white at level 16 over black
    SoundLog sounds;
    r.bReverse = 1;
    ASSERT_EQ(ani.Play(r), 1);
    EXPECT_EQ(sounds.received(), std::vector<std::vector<uint8_t>>{wave});

    std::ofstream(dir + "/bad.txt") << "animation\nframe f0.png\nforward f0.png\n";
    EXPECT_FALSE(kesra_ani::build(dir + "/bad.ani", dir + "/bad.txt", quiet, &error));
    EXPECT_EQ(error.rfind(dir + "/bad.txt:3: " + dir + "/f0.png: not a WAVE file", 0), 0u) << error;
    std::ofstream(dir + "/bad.txt") << "frame f0.png\n";
    EXPECT_FALSE(kesra_ani::build(dir + "/bad.ani", dir + "/bad.txt", quiet, &error));
    EXPECT_EQ(error, dir + "/bad.txt:1: frame before the first 'animation'");
}

TEST(Wave, ImagesAcceptedAndRefused) {
    using platform::parse_wave;
    platform::WaveInfo info;
    const std::vector<uint8_t> good =
        make_wave(22050, 2, 16, std::vector<uint8_t>(400, 7), {{"LIST", {1, 2, 3}}});
    ASSERT_TRUE(parse_wave(good.data(), good.size(), &info));
    EXPECT_EQ(info.image_bytes, good.size());
    EXPECT_EQ(info.data_offset, good.size() - 400);
    EXPECT_EQ(info.data_bytes, 400u);
    EXPECT_EQ(platform::wave_duration_ms(info), 5u);                // 100 samples at 22050 Hz, rounded up
    EXPECT_FALSE(parse_wave(good.data(), good.size() - 1, &info));  // the image is longer than the bytes held

    auto refused = [&](size_t at, std::vector<uint8_t> bytes) {
        std::vector<uint8_t> w = good;
        std::copy(bytes.begin(), bytes.end(), w.begin() + static_cast<std::ptrdiff_t>(at));
        return !parse_wave(w.data(), w.size(), &info);
    };
    EXPECT_TRUE(refused(0, {'R', 'I', 'F', 'X'}));
    EXPECT_TRUE(refused(8, {'A', 'V', 'I', ' '}));
    EXPECT_TRUE(refused(20, {3, 0}));                             // IEEE float, not PCM
    EXPECT_TRUE(refused(34, {24, 0}));                            // 24 bits
    EXPECT_TRUE(refused(22, {0, 0}));                             // no channels
    EXPECT_TRUE(refused(40, {0xFF, 0xFF, 0, 0}));                 // the LIST chunk runs past the image
    EXPECT_TRUE(refused(good.size() - 404, {0xFF, 0xFF, 0, 0}));  // so does the data chunk
    std::vector<uint8_t> cut(good.begin(), good.begin() + 36);    // no data chunk
    ani::store32(cut.data() + 4, 28);
    EXPECT_FALSE(parse_wave(cut.data(), cut.size(), &info));

    SoundLog sounds;
    EXPECT_EQ(PlaySoundW(reinterpret_cast<const WCHAR*>(good.data()), nullptr, SND_MEMORY), TRUE);
    const std::vector<uint8_t> text = {'n', 'o', 't', ' ', 'a', ' ', 'w', 'a',
                                       'v', 'e', ' ', 'f', 'i', 'l', 'e'};
    EXPECT_EQ(PlaySoundW(reinterpret_cast<const WCHAR*>(text.data()), nullptr, SND_MEMORY), FALSE);
    write_bytes(scratch_dir() + "/good.wav", good);  // by path: the file's bytes go the same way
    EXPECT_EQ(PlaySoundW(reinterpret_cast<const WCHAR*>(wide(scratch_dir() + "/good.wav").c_str()), nullptr,
                         SND_FILENAME),
              TRUE);
    EXPECT_EQ(sounds.received(), (std::vector<std::vector<uint8_t>>{good, good}));
}

TEST(Wave, TheDefaultDeviceTakesTheSound) {
    std::vector<uint8_t> samples(80);
    for (size_t i = 0; i < samples.size(); ++i) samples[i] = static_cast<uint8_t>(0x40 + i);
    const std::vector<uint8_t> wave = make_wave(8000, 1, 8, samples);  // 10 ms
    HostSetSoundHandler(nullptr);
#ifdef KESRA_TEST_SDL_AUDIO
    // SDL's disk driver: a device that opens on any machine and keeps what it played.
    const std::string played = scratch_dir() + "/played.raw";
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", played.c_str(), 1);
#endif
    EXPECT_EQ(PlaySoundW(reinterpret_cast<const WCHAR*>(wave.data()), nullptr, SND_MEMORY), TRUE);
#ifdef KESRA_TEST_SDL_AUDIO
    // The device plays silence until it is started: the samples follow it.
    const std::string text = read_text(played);
    const std::vector<uint8_t> bytes(text.begin(), text.end());
    EXPECT_NE(std::search(bytes.begin(), bytes.end(), samples.begin(), samples.end()), bytes.end());
    unsetenv("SDL_AUDIODRIVER");
    unsetenv("SDL_DISKAUDIOFILE");
#endif
}

/* Real files: the speaker-test voices (48 kHz, 16-bit mono) and one pluck
 * stored as 8-, 16-, 24- and 32-bit PCM behind a LIST chunk. */
TEST_F(Ani, RealWaveFilesFromDebian) {
    auto load = [](const char* name) {
        std::vector<uint8_t> w;
        std::string error;
        EXPECT_TRUE(kesra_ani::read_file(std::string(KESRA_DEBIAN_WAVES) + "/" + name, &w, &error)) << error;
        return w;
    };
    platform::WaveInfo info;
    for (const char* name : {"Front_Center.wav", "Noise.wav", "Side_Left.wav"}) {
        const std::vector<uint8_t> w = load(name);
        ASSERT_TRUE(platform::parse_wave(w.data(), w.size(), &info)) << name;
        EXPECT_EQ(info.sample_rate, 48000u);
        EXPECT_EQ(info.channels * info.bits_per_sample, 16);
        EXPECT_EQ(info.data_offset + info.data_bytes, w.size());
    }
    const std::vector<uint8_t> pcm8 = load("pluck-pcm8.wav"), pcm16 = load("pluck-pcm16.wav");
    platform::WaveInfo info8;
    ASSERT_TRUE(platform::parse_wave(pcm8.data(), pcm8.size(), &info8));
    ASSERT_TRUE(platform::parse_wave(pcm16.data(), pcm16.size(), &info));
    EXPECT_EQ(info8.data_bytes * 2, info.data_bytes);
    EXPECT_EQ(platform::wave_duration_ms(info8), platform::wave_duration_ms(info));
    for (const char* name : {"pluck-pcm24.wav", "pluck-pcm32.wav"}) {
        const std::vector<uint8_t> w = load(name);
        EXPECT_FALSE(platform::parse_wave(w.data(), w.size(), &info)) << name;
    }

    kesra_ani::Animation a = strip(1);
    a.forward = pcm16;
    ASSERT_EQ(open(assemble({a})), 1);
    SoundLog sounds;
    ASSERT_EQ(ani.Play(request(screen.dc.get(), 300)), 1);
    EXPECT_EQ(sounds.received(), std::vector<std::vector<uint8_t>>{pcm16});
}

/* A file whose animation 301 is damaged in one way; 300 must keep playing. */
class AniDamaged : public Ani {
   protected:
    void SetUp() override {
        kesra_ani::Animation good = strip(2);
        kesra_ani::Animation other = strip(3, 3, 2);
        other.forward = make_wave(8000, 1, 8, std::vector<uint8_t>(16, 0x80));
        file = assemble({good, other});
        ani::MemorySource src(file.data(), file.size());
        ASSERT_TRUE(ani::find_animation(src, 301, &anim));
        uint64_t streams = 0;
        ASSERT_TRUE(ani::find_frame(src, anim, 1, &frame, &streams));
        frame_at = streams - ani::kFrameHeaderBytes;
    }
    /* Opens the file with `bytes` written at `at`; animation 301 then fails. */
    void expect_refused(uint64_t at, std::vector<uint8_t> bytes, const char* what) {
        std::vector<uint8_t> damaged = file;
        std::copy(bytes.begin(), bytes.end(), damaged.begin() + static_cast<std::ptrdiff_t>(at));
        check(damaged, what);
    }
    void check(const std::vector<uint8_t>& damaged, const char* what) {
        SCOPED_TRACE(what);
        ASSERT_EQ(open(damaged, "damaged.ani"), 1);
        tagANICTRL r = request(screen.dc.get(), 301);
        r.nFrom = 0;
        r.nTo = 2;
        EXPECT_EQ(ani.ShowFrame(r, 1), 0);
        EXPECT_EQ(ani.Play(r), 0);
        PresentLog log;
        EXPECT_EQ(ani.Play(request(screen.dc.get(), 300)), 1);
        EXPECT_EQ(log.frames(), (std::vector<int>{0, 1}));
    }
    SoundLog sounds_;  // the damaged file's sounds go nowhere
    std::vector<uint8_t> file;
    ani::Animation anim;
    ani::FrameHeader frame;
    uint64_t frame_at = 0;
};

TEST_F(AniDamaged, OffsetsCountsAndSizesOutsideTheFile) {
    const auto le = [](uint32_t v) {
        return std::vector<uint8_t>{static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8),
                                    static_cast<uint8_t>(v >> 16), static_cast<uint8_t>(v >> 24)};
    };
    const uint32_t size = static_cast<uint32_t>(file.size());
    expect_refused(48, le(7), "index entry names another position");
    expect_refused(52, le(size - 20), "record past the end");
    expect_refused(anim.base + 48, le(0x20000000), "frame count past the end");
    expect_refused(anim.base + 48, le(0xFFFFFFFF), "negative frame count");
    expect_refused(anim.base + 52, le(0x80000000), "frame table outside");
    expect_refused(anim.base + anim.record.frame_table + 12, le(size), "frame offset past the end");
    expect_refused(anim.base + anim.record.frame_table + 8, le(2), "frame entry names another frame");
    expect_refused(frame_at + 44, le(8), "alpha stream that is not zlib");
    expect_refused(frame_at + 40, le(0xFFFFFFF0), "pixel stream past the end");
    expect_refused(frame_at + 32, le(4), "frame wider than its stream");
    expect_refused(frame_at + 32, le(0), "no width for a stream");
    expect_refused(frame_at + 50, {0xFF, 0xFF, 0xFF, 0xFF}, "stream that does not inflate");
    check(std::vector<uint8_t>(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(frame_at + 60)),
          "truncated in a frame");
    ASSERT_EQ(open(std::vector<uint8_t>(file.begin(), file.begin() + 44), "short.ani"), 1);
    EXPECT_EQ(ani.GetFrameNum(300), 0);
}

TEST_F(AniDamaged, SoundsThatAreNotPlayableAreDropped) {
    std::vector<uint8_t> damaged = file;
    const uint64_t sound_at = anim.base + anim.record.forward_offset;
    damaged[sound_at] = 'X';  // not RIFF
    ASSERT_EQ(open(damaged, "sound.ani"), 1);
    EXPECT_EQ(ani.Play(request(screen.dc.get(), 301)), 1);
    damaged = file;
    ani::store32(damaged.data() + sound_at + 4, 1000);  // an image longer than the stored sound
    ASSERT_EQ(open(damaged, "sound.ani"), 1);
    EXPECT_EQ(ani.Play(request(screen.dc.get(), 301)), 1);
    damaged = file;
    ani::store32(damaged.data() + anim.base + 32, 0x7FFFFFFF);  // a length past the end
    ASSERT_EQ(open(damaged, "sound.ani"), 1);
    EXPECT_EQ(ani.Play(request(screen.dc.get(), 301)), 1);
    EXPECT_TRUE(sounds_.received().empty());
}

}  // namespace
