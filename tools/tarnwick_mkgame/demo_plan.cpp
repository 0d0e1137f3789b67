#include "demo_plan.h"

#include <algorithm>
#include <cstdio>

#include "demo_random.h"
#include "demo_texts.h"

namespace tarnwick::demo {

namespace {

// Salts for the independent random streams. The layout stream ignores the
// seed so the demo's structure can be documented once.
constexpr std::uint64_t kLayoutSeed = 0x7A11C0DE;
constexpr std::uint64_t kSaltTexts = 1;
constexpr std::uint64_t kSaltClips = 2;
constexpr std::uint64_t kSaltSpeakers = 3;

struct TalkBlock_T {
    int firstId;
    int talkCount;
    std::vector<int> cast;  // speakers who may appear
    int voiceKind;          // 1, 2, or 0 for "1 or 2 at random"
    int stereoTalks;        // the first this many talks have clips at 44100 Hz in stereo
};

DemoSpeaker_T Speaker(const char* name, int faceId, int variants, double pitch, int frame,
                      FaceLook_T look)
{
    DemoSpeaker_T s;
    s.name = name;
    s.faceId = faceId;
    s.variantCount = variants;
    s.pitch = pitch;
    s.frameStyle = frame;
    s.look = look;
    return s;
}

FaceLook_T Look(std::uint32_t hair, HairStyle style, double w, double h, bool beard = false,
                std::uint32_t skin = 0xF4D2B4, std::uint32_t eyes = 0x3A5A8C)
{
    return FaceLook_T{hair, skin, eyes, style, w, h, beard};
}

// The demo's cast. Indexes are used by the talk blocks below.
std::vector<DemoSpeaker_T> DemoSpeakers()
{
    std::vector<DemoSpeaker_T> s;
    s.push_back(Speaker("アリシア", 1, 3, 230, 0, Look(0xE8C050, HairStyle::kLong, 0.56, 0.66)));
    s.push_back(Speaker("カイル", 2, 3, 125, 0,
                        Look(0x6B4226, HairStyle::kSpiky, 0.60, 0.68, false, 0xE8BE98, 0x4A7A3A)));
    s.push_back(Speaker("ミレーユ", 3, 2, 250, 1,
                        Look(0xB8A8D8, HairStyle::kPonytail, 0.54, 0.64, false, 0xF8E0D0, 0x8A3AA0)));
    s.push_back(Speaker("ガルド", 5, 2, 95, 1,
                        Look(0x8C2A1E, HairStyle::kShort, 0.68, 0.70, true, 0xD8A07A, 0x5A3A1A)));
    s.push_back(Speaker("ソフィア", 8, 3, 215, 0,
                        Look(0x1E2A4A, HairStyle::kLong, 0.55, 0.66, false, 0xF6DCC6, 0x2A6AA0)));
    s.push_back(Speaker("長老ベルナール", 12, 2, 85, 2,
                        Look(0xE8E8E8, HairStyle::kBald, 0.62, 0.72, true, 0xE0B494, 0x6A6A6A)));
    s.push_back(Speaker("リン", 15, 3, 270, 0,
                        Look(0xF08CB4, HairStyle::kPonytail, 0.58, 0.62, false, 0xFAE0CC, 0xC0404A)));
    s.push_back(Speaker("商人トマス", 20, 1, 140, 1,
                        Look(0x4C7A3A, HairStyle::kShort, 0.66, 0.64, false, 0xE6B890, 0x3A3A3A)));
    s.push_back(Speaker("騎士団長レオン", 31, 2, 110, 2,
                        Look(0xC8782A, HairStyle::kSpiky, 0.58, 0.70, false, 0xEEC6A4, 0x2A4A8A)));
    s.push_back(Speaker("謎の声", 99, 1, 180, 2, Look(0x000000, HairStyle::kShort, 0.6, 0.7)));
    s.push_back(Speaker("ナレーション", 0, 1, 0, 0, Look(0x000000, HairStyle::kShort, 0.6, 0.7)));
    s[2].pictureWidth = s[8].pictureWidth = 120;  // a wider frame than the rest
    s[2].pictureHeight = s[8].pictureHeight = 80;
    s[9].hasFace = s[10].hasFace = false;
    return s;
}

constexpr int kSophia = 4;
constexpr int kMystery = 9;
constexpr int kNarration = 10;

std::vector<DemoSpeaker_T> FullSpeakers(std::uint64_t seed)
{
    static constexpr std::uint32_t kHair[] = {0xE8C050, 0x6B4226, 0xB8A8D8, 0x8C2A1E, 0x1E2A4A,
                                              0xE8E8E8, 0xF08CB4, 0x4C7A3A, 0xC8782A, 0x2A2A2A,
                                              0x3A78C8, 0x9A4AC0};
    CDemoRandom rng = CDemoRandom::For(seed, kSaltSpeakers);
    std::vector<DemoSpeaker_T> s;
    for (int i = 0; i < 240; ++i) {
        DemoSpeaker_T sp;
        sp.name = ComposeSpeakerName(rng);
        sp.faceId = i + 1;
        sp.variantCount = rng.Range(1, 3);
        const bool low = rng.Chance(0.5);
        sp.pitch = low ? rng.Between(85, 140) : rng.Between(190, 280);
        sp.frameStyle = rng.Range(0, 2);
        sp.hasFace = i % 37 != 36;
        if (i % 5 == 4) {
            sp.pictureWidth = 120;
            sp.pictureHeight = 80;
        }
        sp.look = Look(kHair[rng.Below(12)], static_cast<HairStyle>(rng.Below(5)),
                       rng.Between(0.52, 0.68), rng.Between(0.62, 0.72), low && rng.Chance(0.3),
                       0xF4D2B4 - 0x0A0A0Au * rng.Below(4), 0x3A5A8C + 0x201000u * rng.Below(4));
        s.push_back(std::move(sp));
    }
    DemoSpeaker_T narration;
    narration.name = "ナレーション";
    narration.hasFace = false;
    narration.pitch = 0;
    s.push_back(narration);
    return s;
}

int CountUtf8Chars(const std::string& text)
{
    return static_cast<int>(std::count_if(text.begin(), text.end(), [](char c) {
        return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    }));
}

TextShape LineShape(CDemoRandom& layout)
{
    const std::uint32_t r = layout.Below(100);
    if (r < 25)
        return TextShape::kShort;
    if (r < 70)
        return TextShape::kNormal;
    if (r < 90)
        return TextShape::kBreak;
    return TextShape::kScroll;
}

// Lays out the talks of one block: who speaks, with which face, and which
// voice kind. Texts, waits and clip lengths come from the seeded streams.
void AddBlock(DemoPlan_T& plan, const TalkBlock_T& block, CDemoRandom& layout,
              CDemoRandom& texts, CDemoRandom& clips, int narration, int fixedLastCount)
{
    for (int t = 0; t < block.talkCount; ++t) {
        const int talkId = block.firstId + t;
        int count = layout.Chance(0.2) ? layout.Range(7, 10) : layout.Range(2, 5);
        if (t == block.talkCount - 1 && fixedLastCount > 0)
            count = fixedLastCount;

        std::vector<int> cast;
        const int castSize = layout.Range(2, 3);
        while (static_cast<int>(cast.size()) < castSize) {
            const int who = block.cast[layout.Below(static_cast<std::uint32_t>(block.cast.size()))];
            if (std::find(cast.begin(), cast.end(), who) == cast.end())
                cast.push_back(who);
        }
        const bool opensWithNarration = narration >= 0 && layout.Chance(0.3);

        int previous = -1;
        for (int k = 0; k < count; ++k) {
            int who;
            if (k == 0 && opensWithNarration) {
                who = narration;
            } else {
                do {
                    who = cast[layout.Below(static_cast<std::uint32_t>(cast.size()))];
                } while (who == previous && cast.size() > 1);
            }
            previous = who;
            const DemoSpeaker_T& sp = plan.speakers[who];

            DemoLine_T line;
            line.talkId = talkId;
            line.lineNo = k + 1;
            line.speaker = who;
            line.faceId = sp.faceId;
            line.faceVariant = static_cast<int>(layout.Below(static_cast<std::uint32_t>(sp.variantCount)));
            line.frameStyle = sp.frameStyle;
            TextShape shape = LineShape(layout);
            if (who == narration) {
                line.voiceKind = 0;
                shape = shape == TextShape::kShort ? TextShape::kNormal : shape;
            } else if (layout.Chance(0.08)) {
                line.voiceKind = 0;
            } else {
                line.voiceKind = block.voiceKind != 0 ? block.voiceKind : layout.Range(1, 2);
            }
            line.hasClip = line.voiceKind != 0;

            line.text = ComposeTalkText(texts, shape);
            const int chars = CountUtf8Chars(line.text);
            line.waitTenths = std::clamp(10 + chars / 4 + texts.Range(0, 10), 10, 60);

            const bool stereo = t < block.stereoTalks;
            for (DemoClip_T* clip : {&line.shortClip, &line.longClip}) {
                clip->channels = stereo ? 2 : 1;
                clip->rate = stereo ? 44100 : 22050;
                clip->pitch = sp.pitch > 0 ? sp.pitch : 150.0;
                clip->voiceSeed = clips.Next();
            }
            line.shortClip.seconds = clips.Between(1.0, 1.5);
            line.longClip.seconds = std::clamp(2.0 + chars / 40.0 + clips.Between(-0.3, 0.3), 2.0, 4.0);
            plan.lines.push_back(std::move(line));
        }
    }
}

void PlanDemoScale(DemoPlan_T& plan)
{
    plan.speakers = DemoSpeakers();
    CDemoRandom layout(kLayoutSeed);
    CDemoRandom texts = CDemoRandom::For(plan.seed, kSaltTexts);
    CDemoRandom clips = CDemoRandom::For(plan.seed, kSaltClips);

    // Main story, side events at the harbour (clips in stereo) and the
    // market, and chats.
    AddBlock(plan, {1001, 20, {0, 1, 2, 3, 4, 5, 8}, 2, 0}, layout, texts, clips, kNarration, 10);
    const std::size_t sideStart = plan.lines.size();
    AddBlock(plan, {2001, 12, {6, 7, 0, 1, 3}, 1, 4}, layout, texts, clips, -1, 0);
    AddBlock(plan, {3001, 8, {0, 1, 2, 4, 6}, 0, 0}, layout, texts, clips, -1, 2);

    // The mysterious voice has no face at all; Sophia's third expression is
    // missing from the face archive but used in the table.
    for (DemoLine_T& line : plan.lines) {
        if ((line.talkId == 1007 || line.talkId == 1015) && line.lineNo == 2) {
            line.speaker = kMystery;
            line.faceId = plan.speakers[kMystery].faceId;
            line.faceVariant = 0;
            line.frameStyle = plan.speakers[kMystery].frameStyle;
        }
        if (line.talkId == 1004 && line.lineNo == 1) {
            line.speaker = kSophia;
            line.faceId = plan.speakers[kSophia].faceId;
            line.faceVariant = 2;
            line.frameStyle = plan.speakers[kSophia].frameStyle;
        }
        if (line.speaker == kMystery && line.voiceKind == 0)
            line.voiceKind = 2;
        line.hasClip = line.voiceKind != 0;
    }

    // Four voiced lines without any clip, spread over the table.
    for (int k = 1; k <= 4; ++k) {
        std::size_t i = plan.lines.size() * k / 5;
        while (i < plan.lines.size() && plan.lines[i].voiceKind == 0)
            ++i;
        if (i < plan.lines.size())
            plan.lines[i].hasClip = false;
    }

    // Rows the program must skip: a note before the side events, an empty
    // line, and a row whose ID is not a number inside talk 1003's run, which
    // must not break the run's line numbering.
    plan.noiseRows.push_back({sideStart, "note,以下サブイベント。IDは2001から,,,,,,,,,"});
    for (std::size_t i = 0; i < plan.lines.size(); ++i) {
        if (plan.lines[i].talkId == 1011 && plan.lines[i].lineNo == 1)
            plan.noiseRows.push_back({i, ""});
        if (plan.lines[i].talkId == 1003 && plan.lines[i].lineNo == 2)
            plan.noiseRows.push_back({i, "12a,1,0,アリシア,0,この行は読まれない,30,0,2,0,"});
    }
    std::sort(plan.noiseRows.begin(), plan.noiseRows.end(),
              [](const DemoNoiseRow_T& a, const DemoNoiseRow_T& b) { return a.beforeLine < b.beforeLine; });

    plan.captureGroups = {
        {"メインストーリー",
         {{"第１章　旅立ち", {{1001, 1010, 1}}},
          {"第２章　王都の影", {{1011, 1019, 2}, {1020, 1020, 3}}}}},
        {"サブイベント",
         {{"港町の依頼", {{2001, 2006, 3}}}, {"商人の頼みごと", {{2007, 2012, 0}}}}},
        {"キャラクター会話",
         {{"仲間との会話", {{3001, 3004, 1}, {3005, 3008, 0}}},
          {"全会話", {{1001, 1020, 1}, {2001, 2012, 2}, {3001, 3008, 3}}}}},
    };
}

void PlanFullScale(DemoPlan_T& plan)
{
    plan.speakers = FullSpeakers(plan.seed);
    const int narration = static_cast<int>(plan.speakers.size()) - 1;
    CDemoRandom layout(kLayoutSeed);
    CDemoRandom texts = CDemoRandom::For(plan.seed, kSaltTexts);
    CDemoRandom clips = CDemoRandom::For(plan.seed, kSaltClips);

    constexpr int kBlocks = 50;
    for (int b = 1; b <= kBlocks; ++b) {
        TalkBlock_T block{b * 1000 + 1, 100, {}, b % 3, 0};
        // Each block has its own cast of a dozen speakers.
        for (int i = 0; i < 12; ++i)
            block.cast.push_back((b * 7 + i * 13) % narration);
        AddBlock(plan, block, layout, texts, clips, narration, 0);
    }

    // A few dozen clips serve all lines. They are kept at the short end and
    // the lowest quality so the voice archives stay near 250 MB.
    constexpr int kPoolSize = 48;
    for (int slot = 0; slot < kPoolSize; ++slot) {
        DemoClip_T clip;
        clip.channels = slot % 6 == 0 ? 2 : 1;
        clip.rate = slot % 6 == 0 ? 44100 : 22050;
        clip.pitch = slot % 2 == 0 ? clips.Between(85, 140) : clips.Between(190, 280);
        clip.voiceSeed = clips.Next();
        clip.poolSlot = slot;
        clip.quality = -0.1f;
        clip.seconds = clips.Between(1.0, 1.2);
        plan.shortPool.push_back(clip);
        clip.seconds = clips.Between(2.0, 2.4);
        plan.longPool.push_back(clip);
    }
    for (std::size_t i = 0; i < plan.lines.size(); ++i) {
        DemoLine_T& line = plan.lines[i];
        const std::uint32_t slot =
            (static_cast<std::uint32_t>(line.talkId) * 31u + static_cast<std::uint32_t>(line.lineNo)) %
            kPoolSize;
        line.shortClip = plan.shortPool[slot];
        line.longClip = plan.longPool[slot];
        if (i % 500 == 250 && line.voiceKind != 0)
            line.hasClip = false;
    }
    plan.noiseRows.push_back({0, "note,全会話の一覧,,,,,,,,,"});

    for (int part = 0; part < kBlocks / 10; ++part) {
        DemoCaptureGroup_T group;
        group.name = "第" + std::to_string(part + 1) + "部";
        for (int b = part * 10 + 1; b <= part * 10 + 10; ++b)
            group.items.push_back({ChapterName(b), {{b * 1000 + 1, b * 1000 + 100, b % 4}}});
        plan.captureGroups.push_back(std::move(group));
    }
}

}  // namespace

DemoPlan_T PlanDemoGame(std::uint64_t seed, DemoScale scale)
{
    DemoPlan_T plan;
    plan.scale = scale;
    plan.seed = seed;
    if (scale == DemoScale::kFull)
        PlanFullScale(plan);
    else
        PlanDemoScale(plan);

    for (std::size_t i = 0; i < plan.speakers.size(); ++i) {
        const DemoSpeaker_T& sp = plan.speakers[i];
        if (!sp.hasFace)
            continue;
        for (int v = 0; v < sp.variantCount; ++v) {
            DemoFace_T face{sp.faceId, v, static_cast<int>(i), sp.pictureWidth, sp.pictureHeight, true};
            plan.faces.push_back(face);
        }
    }
    if (scale == DemoScale::kDemo) {
        // Sophia's third expression stays missing; the merchant's only
        // picture is stored without alpha.
        std::erase_if(plan.faces, [](const DemoFace_T& f) { return f.faceId == 8 && f.variant == 2; });
        for (DemoFace_T& f : plan.faces)
            if (f.faceId == 20)
                f.withAlpha = false;
    }
    plan.bgmNumbers = {1, 2, 3};
    return plan;
}

std::string FaceEntryName(int faceId, int variant)
{
    char name[48];
    std::snprintf(name, sizeof name, "%04d_%02d.png", faceId, variant);
    return name;
}

std::string VoiceEntryName(int talkId, int lineNo)
{
    char name[48];
    std::snprintf(name, sizeof name, "%05d_%04d.vc", talkId, lineNo);
    return name;
}

}  // namespace tarnwick::demo
