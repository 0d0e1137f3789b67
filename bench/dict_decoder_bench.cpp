// Decoder output speed on two kinds of content the archives hold: text (the
// talk table's kind: words, punctuation, CR LF rows and two-byte Japanese
// characters, in Shift-JIS-like pairs and in UTF-8) and mixed binary data
// (records with small integers, runs, noise and repeated blocks). Each is a
// few megabytes, made from a fixed seed and compressed once by the encoder;
// the timed loop only decodes. Throughput counts decoded bytes, and the
// "ratio" counter is content size over stored size. Noise (bytes that do not
// compress, as in PNG or gzip data) is the decoder's slowest case: nearly
// one new string per byte, under roots with hundreds of children. Each
// content is decoded by the program's decoder and by the reference decoder
// that it must match, so one run shows the gain.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "archive/dict_decoder.h"
#include "archive/le_writer.h"
#include "devkit/dict_encoder.h"
#include "devkit/dict_reference_decoder.h"
#include "devkit/split_mix64.h"

namespace {

using tarnwick::PutLe;

using Bytes = std::vector<std::uint8_t>;

constexpr std::size_t kContentSize = 4u << 20;

struct Random : tarnwick::CSplitMix64 {
    using CSplitMix64::CSplitMix64;
    // Small values far more often than large ones, as word and character
    // frequencies go.
    std::uint32_t Skewed(std::uint32_t n)
    {
        const double u = static_cast<double>(Next() >> 11) / 9007199254740992.0;
        return std::min(n - 1, static_cast<std::uint32_t>(u * u * u * n));
    }
};

void Put(Bytes& out, const std::string& s) { out.insert(out.end(), s.begin(), s.end()); }

Bytes MakeText(std::size_t size)
{
    Random r{0x7a11c0de};
    static const char* const syllables[] = {"ka", "ri", "to", "mon", "el", "an", "dra", "sel",
                                            "vo", "the", "un", "or", "is", "we", "la", "ne",
                                            "ght", "ro", "ad", "st"};
    std::vector<std::string> words;
    for (int i = 0; i < 600; ++i) {
        std::string w;
        const std::uint32_t n = 1 + r.Below(3);
        for (std::uint32_t k = 0; k < n; ++k)
            w += syllables[r.Below(20)];
        words.push_back(w);
    }
    // 400 two-byte "characters" of each encoding, used with skewed
    // frequencies like real kana and kanji.
    std::vector<std::string> sjis, utf8;
    for (int i = 0; i < 400; ++i) {
        const std::uint32_t lead = i < 170 ? 0x82 : 0x88 + r.Below(0x10);
        const std::uint32_t trail = 0x40 + r.Below(0xBC);
        sjis.push_back({static_cast<char>(lead), static_cast<char>(trail == 0x7F ? 0x80 : trail)});
        const std::uint32_t cp = i < 170 ? 0x3041 + static_cast<std::uint32_t>(i) : 0x4E00 + r.Below(0x5000);
        utf8.push_back({static_cast<char>(0xE0 | (cp >> 12)), static_cast<char>(0x80 | ((cp >> 6) & 0x3F)),
                        static_cast<char>(0x80 | (cp & 0x3F))});
    }

    Bytes out;
    out.reserve(size + 1024);
    std::uint32_t row = 0;
    while (out.size() < size) {
        const std::uint32_t kind = r.Below(10);
        if (kind < 5) {  // a talk-table row with Shift-JIS-like text
            Put(out, std::to_string(10000 + row / 4) + "," + std::to_string(row % 4) + ",");
            for (std::uint32_t k = 0, n = 2 + r.Below(4); k < n; ++k)
                Put(out, sjis[r.Skewed(400)]);
            out.push_back(',');
            for (std::uint32_t k = 0, n = 8 + r.Below(40); k < n; ++k) {
                Put(out, sjis[r.Skewed(400)]);
                if (r.Below(25) == 0)
                    Put(out, "$R");
            }
            out.push_back(',');
            Put(out, std::to_string(r.Below(60)) + "," + std::to_string(r.Below(3)) + "\r\n");
            ++row;
        } else if (kind < 8) {  // an English sentence
            for (std::uint32_t k = 0, n = 5 + r.Below(12); k < n; ++k) {
                std::string w = words[r.Skewed(600)];
                if (k == 0)
                    w[0] = static_cast<char>(w[0] - 'a' + 'A');
                Put(out, w);
                Put(out, k + 1 == n ? (r.Below(4) == 0 ? "? " : ". ") : (r.Below(8) == 0 ? ", " : " "));
            }
            if (r.Below(5) == 0)
                Put(out, "\r\n");
        } else {  // a UTF-8 Japanese line
            for (std::uint32_t k = 0, n = 10 + r.Below(30); k < n; ++k)
                Put(out, utf8[r.Skewed(400)]);
            Put(out, "\xE3\x80\x82\n");
        }
    }
    out.resize(size);
    return out;
}

Bytes MakeBinary(std::size_t size)
{
    Random r{0xb1a5eed};
    Bytes out;
    out.reserve(size + 8192);
    while (out.size() < size) {
        const std::uint32_t kind = r.Below(10);
        if (kind < 4) {  // a table of 24-byte records
            for (std::uint32_t k = 0, n = 16 + r.Below(64); k < n; ++k) {
                PutLe(out, static_cast<std::uint32_t>(out.size() / 24), 4);
                PutLe(out, r.Below(16), 2);
                PutLe(out, r.Below(300), 2);
                PutLe(out, 0x3F800000u + (r.Below(64) << 16), 4);  // float-like
                PutLe(out, r.Below(4) == 0 ? 0xFFFFFFFFu : r.Below(100), 4);
                PutLe(out, 0, 4);
                PutLe(out, 0, 4);
            }
        } else if (kind < 6) {  // a run of one byte
            out.insert(out.end(), 16 + r.Below(2000), static_cast<std::uint8_t>(r.Below(4) == 0 ? 0xFF : 0));
        } else if (kind < 8) {  // noise, as in already-compressed pictures
            for (std::uint32_t k = 0, n = 64 + r.Below(2048); k < n; ++k)
                out.push_back(static_cast<std::uint8_t>(r.Next()));
        } else if (out.size() > 4096) {  // a copy of an earlier block
            const std::size_t len = 256 + r.Below(3840);
            const std::size_t from = r.Next() % (out.size() - len);
            for (std::size_t k = 0; k < len; ++k)
                out.push_back(out[from + k]);
        }
    }
    out.resize(size);
    return out;
}

Bytes MakeNoise(std::size_t size)
{
    Random r{0x5eed0f5};
    Bytes out(size);
    for (std::uint8_t& b : out)
        b = static_cast<std::uint8_t>(r.Next());
    return out;
}

struct Sample {
    Bytes content;
    Bytes stored;
};

// Compressed once; the decode is checked once, so the timing is of a
// decoder that gives the right bytes.
Sample Prepare(Bytes content)
{
    Sample s{std::move(content), {}};
    tarnwick::CDictEncoder encoder;
    s.stored = encoder.Encode(s.content);
    Bytes check(s.content.size());
    tarnwick::CDictDecoder decoder;
    if (!decoder.Decode(s.stored.data(), static_cast<std::uint32_t>(s.stored.size()), check.data(),
                        static_cast<std::uint32_t>(check.size())) ||
        check != s.content) {
        std::fprintf(stderr, "benchmark content does not survive a round trip\n");
        std::abort();
    }
    return s;
}

const Sample& TextSample()
{
    static const Sample s = Prepare(MakeText(kContentSize));
    return s;
}

const Sample& BinarySample()
{
    static const Sample s = Prepare(MakeBinary(kContentSize));
    return s;
}

const Sample& NoiseSample()
{
    static const Sample s = Prepare(MakeNoise(kContentSize));
    return s;
}

template <typename Decoder>
void DecodeBench(benchmark::State& state, const Sample& s)
{
    static Decoder decoder;  // one long-lived state, as the archive set keeps
    Bytes out(s.content.size());
    for (auto _ : state) {
        const bool ok = decoder.Decode(s.stored.data(), static_cast<std::uint32_t>(s.stored.size()),
                                       out.data(), static_cast<std::uint32_t>(out.size()));
        benchmark::DoNotOptimize(ok);
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(s.content.size()));
    state.counters["ratio"] =
        static_cast<double>(s.content.size()) / static_cast<double>(s.stored.size());
    state.counters["stored_MiB"] = static_cast<double>(s.stored.size()) / (1 << 20);
}

using tarnwick::CDictDecoder;
using tarnwick::CDictReferenceDecoder;
void BM_DecodeText(benchmark::State& state) { DecodeBench<CDictDecoder>(state, TextSample()); }
void BM_DecodeBinary(benchmark::State& state) { DecodeBench<CDictDecoder>(state, BinarySample()); }
void BM_DecodeNoise(benchmark::State& state) { DecodeBench<CDictDecoder>(state, NoiseSample()); }
void BM_ReferenceDecodeText(benchmark::State& state) { DecodeBench<CDictReferenceDecoder>(state, TextSample()); }
void BM_ReferenceDecodeBinary(benchmark::State& state) { DecodeBench<CDictReferenceDecoder>(state, BinarySample()); }
void BM_ReferenceDecodeNoise(benchmark::State& state) { DecodeBench<CDictReferenceDecoder>(state, NoiseSample()); }

BENCHMARK(BM_DecodeText)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecodeBinary)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecodeNoise)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReferenceDecodeText)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReferenceDecodeBinary)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReferenceDecodeNoise)->Unit(benchmark::kMillisecond);

}  // namespace
