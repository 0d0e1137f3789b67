#include "demo_texts.h"

#include <string_view>

namespace tarnwick::demo {

namespace {

// Every character here must exist in code page 932; the table writer fails
// loudly on one that does not. Some carry 0x5C (a backslash) as their second byte
// in code page 932 (ソ, 表, 能, 十, 予), which trips readers that scan for
// ASCII bytes without regard to double-byte characters.
constexpr std::string_view kExclamations[] = {
    "はい！",
    "えっ、本当ですか？",
    "ふむ……なるほど。",
    "行きましょう！",
    "待ってください！",
    "任せておけ。",
    "うん、わかった。",
    "そんな……！",
    "ありがとう、助かったよ。",
    "静かに。何か聞こえる。",
    "よし、準備はいいな？",
    "ふふっ、どうかしら。",
    "それは困りましたね。",
    "さあ、出発だ！",
    "え、私ですか？",
    "……。",
};

constexpr std::string_view kSentences[] = {
    "この先の森には魔物が出るらしい。",
    "東の港町まで、あと半日ほどだ。",
    "古い地図によると、遺跡はこの辺りのはずです。",
    "村の皆が無事でよかった……。",
    "次の満月までに、封印の鍵を見つけなければ。",
    "その剣、ずいぶん使い込んでいるな。",
    "表通りの店なら、まだ開いているはずだよ。",
    "今日はここで野営にしましょう。",
    "私の力では、これ以上は無理です……。",
    "気をつけて、足元が崩れやすいわ。",
    "あの塔の上に、何かが光っている。",
    "騎士団の援軍は、明日の朝に到着する予定だ。",
    "お腹がすいた！何か食べに行こうよ。",
    "回復薬は1個50ゴールドだよ。",
    "この本には、古代の魔法について書かれている。",
    "十年前の戦で、この町は一度焼けたんだ。",
    "風が変わった。嵐が来るかもしれない。",
    "あなたの能力なら、きっと扉を開けられるはず。",
    "ソフィアさんを見かけませんでしたか？",
    "予言の通りなら、竜は北の山に眠っている。",
    "橋が落ちている。別の道を探そう。",
    "この水晶、かすかに温かい……。",
    "隊長、偵察から戻りました！",
    "王都の門は、日が沈むと閉じてしまう。",
    "もう少しだけ、ここで休ませてくれ。",
    "見て、星がこんなにきれい。",
    "その話、もっと詳しく聞かせてもらおうか。",
    "宿屋の主人が、妙な客の話をしていたよ。",
    "地下水路は迷いやすいから、印をつけていこう。",
    "約束する。必ず戻ってくるから。",
    "あいつらの狙いは、この指輪だったのか。",
    "魔力の流れが乱れている。何かがおかしい。",
    "報酬は、依頼が終わってからだ。",
    "子供たちが、森で青い光を見たそうです。",
    "この料理、すごくおいしい！",
    "お前の背中は、俺が守る。",
    "門番に見つからないように、裏から回ろう。",
    "大丈夫、傷はもう治ったよ。",
    "鐘の音が三回……集合の合図だ。",
    "この紋章、どこかで見たことがある。",
    "次の町で、新しい装備を揃えましょう。",
    "旅の話を聞かせてください！",
    "雪解けの季節になったら、また会おう。",
    "誰かが結界を破ろうとしている！",
    "ここから先は、一人で行かせてくれ。",
    "昔、父がよくこの歌を歌ってくれたの。",
};

constexpr std::string_view kGivenNames[] = {
    "アルト", "ベル", "セシル", "ディーノ", "エマ", "フィン", "グレタ", "ハンス",
    "イリス", "ユリウス", "カミラ", "ルカ", "マリー", "ノア", "オスカー", "ペトラ",
    "ラウル", "サラ", "テオ", "ウルスラ", "ヴィクトル", "ソラ", "ヨハン", "ゼノ",
};

constexpr std::string_view kTitles[] = {
    "", "", "", "", "見習い", "衛兵", "商人", "司祭", "船長", "老魔術師", "村長",
};

std::string Sentence(CDemoRandom& rng) { return std::string(rng.Pick(kSentences)); }

}  // namespace

std::string ComposeTalkText(CDemoRandom& rng, TextShape shape)
{
    switch (shape) {
    case TextShape::kShort:
        return std::string(rng.Pick(kExclamations));
    case TextShape::kNormal:
        if (rng.Chance(0.4))
            return std::string(rng.Pick(kExclamations)) + Sentence(rng);
        return Sentence(rng);
    case TextShape::kBreak:
        return Sentence(rng) + "$R" + Sentence(rng);
    case TextShape::kScroll: {
        // Four to six text lines, some of them long enough to wrap.
        std::string text = Sentence(rng) + Sentence(rng);
        const int more = rng.Range(3, 5);
        for (int i = 0; i < more; ++i) {
            text += "$R";
            text += Sentence(rng);
        }
        return text;
    }
    }
    return Sentence(rng);
}

std::string ComposeSpeakerName(CDemoRandom& rng)
{
    return std::string(rng.Pick(kTitles)) + std::string(rng.Pick(kGivenNames));
}

std::string ChapterName(int chapter)
{
    static constexpr std::string_view kDigits[] = {"０", "１", "２", "３", "４",
                                                   "５", "６", "７", "８", "９"};
    std::string number;
    for (char c : std::to_string(chapter))
        number += kDigits[c - '0'];
    return "第" + number + "章";
}

}  // namespace tarnwick::demo
