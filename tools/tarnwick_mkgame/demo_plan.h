// What the demo game holds, decided before any byte is written: speakers,
// talk lines, face pictures, voice clips, music and capture groups. The
// writers turn this plan into files; tests read it to know what to expect.
//
// The layout (talk IDs, line counts, speakers, voice kinds, the deliberate
// gaps) is the same for every seed, so the demo can be described once; the
// seed varies the texts, waits, voices and music.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tarnwick::demo {

enum class DemoScale { kDemo, kFull };

enum class HairStyle { kShort, kLong, kSpiky, kBald, kPonytail };

struct FaceLook_T {
    std::uint32_t hair = 0;  // 0xRRGGBB
    std::uint32_t skin = 0;
    std::uint32_t eyes = 0;
    HairStyle hairStyle = HairStyle::kShort;
    double headWidth = 0.6;   // of the picture's smaller side
    double headHeight = 0.7;
    bool beard = false;
};

struct DemoSpeaker_T {
    std::string name;  // UTF-8; written as code page 932
    int faceId = 0;
    int variantCount = 1;   // variants 0 .. variantCount - 1 appear in the table
    double pitch = 150.0;   // voice base frequency in Hz
    int frameStyle = 0;
    bool hasFace = true;    // false: no picture at all in the face archive
    int pictureWidth = 90;
    int pictureHeight = 90;
    FaceLook_T look;
};

struct DemoClip_T {
    int channels = 1;
    int rate = 22050;
    double seconds = 1.0;
    double pitch = 150.0;         // base frequency of the voice in Hz
    std::uint64_t voiceSeed = 0;  // syllables and intonation
    float quality = 0.1f;         // Vorbis VBR quality, -0.1 to 1
    // Clips of the full-size game share encoded bytes: a line with a pool
    // slot gets that clip of the pool instead of its own.
    int poolSlot = -1;
};

struct DemoLine_T {
    int talkId = 0;
    int lineNo = 0;   // 1-based within the run of rows with this talk ID
    int speaker = 0;  // index into speakers
    int faceId = 0;
    int faceVariant = 0;
    int frameStyle = 0;
    std::string text;  // UTF-8, "$R" for a line break
    int waitTenths = 10;
    int voiceKind = 0;     // 0 none, 1 short, 2 long
    bool hasClip = false;  // clips in both voice archives
    DemoClip_T shortClip;
    DemoClip_T longClip;
};

// A row the talk table holds that is not a talk line, placed before the
// line with the given index (or at the end).
struct DemoNoiseRow_T {
    std::size_t beforeLine = 0;
    std::string text;  // UTF-8, without the line end
};

struct DemoFace_T {
    int faceId = 0;
    int variant = 0;
    int speaker = 0;
    int width = 90;
    int height = 90;
    bool withAlpha = true;
};

struct DemoCaptureRange_T {
    int firstId = 0;
    int lastId = 0;
    int bgmNo = 0;
};

struct DemoCaptureItem_T {
    std::string name;  // UTF-8
    std::vector<DemoCaptureRange_T> ranges;
};

struct DemoCaptureGroup_T {
    std::string name;  // UTF-8
    std::vector<DemoCaptureItem_T> items;
};

struct DemoPlan_T {
    DemoScale scale = DemoScale::kDemo;
    std::uint64_t seed = 0;
    std::vector<DemoSpeaker_T> speakers;
    std::vector<DemoLine_T> lines;  // in table order
    std::vector<DemoNoiseRow_T> noiseRows;
    std::vector<DemoFace_T> faces;  // the pictures the face archive holds
    std::vector<int> bgmNumbers;
    std::vector<DemoCaptureGroup_T> captureGroups;
    // Full size only: the few clips that all lines share.
    std::vector<DemoClip_T> shortPool;
    std::vector<DemoClip_T> longPool;
};

DemoPlan_T PlanDemoGame(std::uint64_t seed, DemoScale scale);

// "%04d_%02d.png" and "%05d_%04d.vc", as the program forms them.
std::string FaceEntryName(int faceId, int variant);
std::string VoiceEntryName(int talkId, int lineNo);

}  // namespace tarnwick::demo
