#include "background_music.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <numbers>

#include "archive/le_writer.h"
#include "demo_random.h"
#include "sound/wav_file.h"

extern char** environ;

namespace tarnwick::demo {

namespace {

constexpr double kTwoPi = 2.0 * std::numbers::pi;
constexpr int kRate = 44100;

// Scale degrees (0-based) of the chords' roots, four bars each.
constexpr int kProgressions[][4] = {{0, 4, 5, 3}, {5, 3, 0, 4}, {0, 3, 4, 0}, {1, 4, 0, 5}};
constexpr int kMajor[7] = {0, 2, 4, 5, 7, 9, 11};
constexpr int kMinor[7] = {0, 2, 3, 5, 7, 8, 10};

double NoteHz(int midi) { return 440.0 * std::pow(2.0, (midi - 69) / 12.0); }

struct Track_T {
    int root;  // MIDI note of the key's tonic around the middle of the keyboard
    const int* scale;
    const int* progression;
    double beat;  // seconds
};

// MIDI note of a scale degree; degrees past 6 go up an octave.
int Degree(const Track_T& tr, int degree)
{
    const int octave = degree >= 0 ? degree / 7 : (degree - 6) / 7;
    const int step = degree - octave * 7;
    return tr.root + 12 * octave + tr.scale[step];
}

// Adds one note to both channels with the given pan (-1 left .. 1 right).
void AddNote(Pcm_T& pcm, double start, double length, double hz, double level, double pan, double decay,
             const double (&harmonics)[4])
{
    const std::size_t first = static_cast<std::size_t>(start * kRate);
    const std::size_t count = static_cast<std::size_t>((length + 0.15) * kRate);
    const double left = level * std::sqrt((1 - pan) / 2), right = level * std::sqrt((1 + pan) / 2);
    // Each harmonic is a phasor turned by a fixed step per sample, which is
    // much cheaper than a sine call and exact enough for a few seconds.
    double re[4], im[4], stepRe[4], stepIm[4];
    for (int h = 0; h < 4; ++h) {
        re[h] = 1.0;
        im[h] = 0.0;
        stepRe[h] = std::cos(kTwoPi * hz * (h + 1) / kRate);
        stepIm[h] = std::sin(kTwoPi * hz * (h + 1) / kRate);
    }
    const double decayStep = std::exp(-decay / kRate);
    double decayed = 1.0;
    for (std::size_t i = 0; i < count && first + i < pcm.Frames(); ++i) {
        const double t = static_cast<double>(i) / kRate;
        double env = std::min(1.0, t / 0.01) * decayed;
        decayed *= decayStep;
        if (t > length)
            env *= std::max(0.0, 1.0 - (t - length) / 0.15);  // release
        double v = 0;
        for (int h = 0; h < 4; ++h) {
            v += harmonics[h] * im[h];
            const double r = re[h] * stepRe[h] - im[h] * stepIm[h];
            im[h] = re[h] * stepIm[h] + im[h] * stepRe[h];
            re[h] = r;
        }
        pcm.samples[(first + i) * 2] += static_cast<float>(v * env * left);
        pcm.samples[(first + i) * 2 + 1] += static_cast<float>(v * env * right);
    }
}

}  // namespace

Pcm_T ComposeMusic(int track, std::uint64_t seed)
{
    CDemoRandom rng = CDemoRandom::For(seed, 100 + static_cast<std::uint64_t>(track));
    Track_T tr;
    tr.root = 57 + rng.Range(0, 7);
    tr.scale = track % 2 == 0 ? kMinor : kMajor;
    tr.progression = kProgressions[(track - 1 + 4) % 4];
    const double seconds = rng.Between(5.5, 7.5);
    tr.beat = seconds / 17.0;  // four bars of four beats and a last held beat

    Pcm_T pcm;
    pcm.channels = 2;
    pcm.rate = kRate;
    pcm.samples.assign(static_cast<std::size_t>(seconds * kRate) * 2, 0.0f);

    static constexpr double kPad[4] = {1.0, 0.3, 0.1, 0.05};
    static constexpr double kBass[4] = {1.0, 0.5, 0.2, 0.0};
    static constexpr double kLead[4] = {1.0, 0.0, 0.33, 0.15};  // hollow, square-like
    for (int bar = 0; bar < 4; ++bar) {
        const int chord = tr.progression[bar];
        const double barStart = bar * 4 * tr.beat;
        for (int k = 0; k < 3; ++k)  // the triad, spread a little
            AddNote(pcm, barStart, 4 * tr.beat, NoteHz(Degree(tr, chord + 2 * k) - 12), 0.08,
                    -0.4 + 0.4 * k, 0.3, kPad);
        for (int b = 0; b < 4; b += 2)
            AddNote(pcm, barStart + b * tr.beat, 1.6 * tr.beat, NoteHz(Degree(tr, chord) - 24), 0.22, 0.0,
                    2.5, kBass);

        // The melody: mostly chord tones on the beats, passing notes between.
        double t = 0;
        while (t < 4 * tr.beat - 1e-9) {
            const double length = tr.beat * (rng.Chance(0.35) ? 0.5 : rng.Chance(0.2) ? 2.0 : 1.0);
            const int degree = rng.Chance(0.7) ? chord + 2 * rng.Range(0, 2) : chord + rng.Range(0, 6);
            if (!rng.Chance(0.1))  // a rest now and then
                AddNote(pcm, barStart + t, std::min(length, 4 * tr.beat - t) * 0.9,
                        NoteHz(Degree(tr, degree) + 12), 0.12, 0.1, 1.2, kLead);
            t += length;
        }
    }
    // End on the tonic so the loop comes round at home.
    AddNote(pcm, 16 * tr.beat, tr.beat * 0.8, NoteHz(tr.root + 12), 0.12, 0.1, 2.0, kLead);
    AddNote(pcm, 16 * tr.beat, tr.beat * 0.8, NoteHz(tr.root - 12), 0.2, 0.0, 2.0, kBass);

    float top = 0;
    for (float v : pcm.samples)
        top = std::max(top, std::abs(v));
    const std::size_t frames = pcm.Frames();
    for (std::size_t i = 0; i < frames; ++i) {
        const double left = static_cast<double>(frames - i) / kRate;
        const float fade = static_cast<float>(std::min(1.0, left / 0.05));
        pcm.samples[2 * i] *= fade * 0.7f / top;
        pcm.samples[2 * i + 1] *= fade * 0.7f / top;
    }
    return pcm;
}

std::vector<std::uint8_t> WavBytes(const Pcm_T& pcm)
{
    const WaveFormat_T format = PcmWaveFormat(pcm.channels, pcm.rate);
    std::vector<std::uint8_t> out = WavHeader(format, pcm.samples.size() * 2);
    out.reserve(out.size() + pcm.samples.size() * 2);
    for (float v : pcm.samples) {
        const long s = std::lround(std::clamp(v, -1.0f, 1.0f) * 32767.0f);
        PutLe16(out, static_cast<std::uint16_t>(static_cast<std::int16_t>(s)));
    }
    return out;
}

bool EncodeWma(const std::string& ffmpeg, const Pcm_T& pcm, const std::string& outPath, std::string& error)
{
    const std::vector<std::uint8_t> wav = WavBytes(pcm);
    std::vector<std::string> args = {ffmpeg, "-hide_banner", "-loglevel", "error", "-y",
                                     "-f", "wav", "-i", "pipe:0", "-map_metadata", "-1",
                                     "-fflags", "+bitexact", "-flags:a", "+bitexact",
                                     "-c:a", "wmav2", "-b:a", "128k", "-f", "asf", outPath};
    std::vector<char*> argv;
    for (std::string& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);

    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) {
        error = std::string("cannot make a pipe: ") + std::strerror(errno);
        return false;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[0], 0);
    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    sigset_t none;
    sigemptyset(&none);
    posix_spawnattr_setsigmask(&attr, &none);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGMASK);

    // A write to a pipe whose reader died must fail, not kill us: SIGPIPE is
    // blocked for this thread while writing, and a pending one is taken.
    sigset_t pipeSignal, oldMask;
    sigemptyset(&pipeSignal);
    sigaddset(&pipeSignal, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipeSignal, &oldMask);

    pid_t pid = 0;
    const int spawned = posix_spawnp(&pid, ffmpeg.c_str(), &actions, &attr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attr);
    close(fds[0]);

    bool wrote = spawned == 0;
    for (std::size_t done = 0; wrote && done < wav.size();) {
        const ssize_t n = write(fds[1], wav.data() + done, wav.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            wrote = false;
        else
            done += static_cast<std::size_t>(n);
    }
    close(fds[1]);

    sigset_t pending;
    sigpending(&pending);
    if (sigismember(&pending, SIGPIPE)) {
        const timespec zero{0, 0};
        sigtimedwait(&pipeSignal, nullptr, &zero);
    }
    pthread_sigmask(SIG_SETMASK, &oldMask, nullptr);

    if (spawned != 0) {
        error = "cannot run " + ffmpeg + ": " + std::strerror(spawned);
        return false;
    }
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        error = ffmpeg + " failed to encode " + outPath;
        return false;
    }
    if (!wrote) {
        error = "could not hand the music to " + ffmpeg;
        return false;
    }
    return true;
}

}  // namespace tarnwick::demo
