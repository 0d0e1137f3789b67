<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="ja" sourcelanguage="en">
<context>
    <name>ExportTexts_T</name>
    <message>
        <source>Nothing was written: no existing folder was chosen.
The folder dialog gave:
%1
Pick a folder in the list, or type the path of one that exists.</source>
        <translation>何も書き出していません: 既存のフォルダーが選ばれていません。
フォルダーのダイアログが返したもの:
%1
一覧からフォルダーを選ぶか、既存のフォルダーのパスを入力してください。</translation>
    </message>
    <message>
        <source>The folder is not empty:
%1
It holds other files and no earlier export. Write the lines into it anyway?</source>
        <translation>フォルダーが空ではありません:
%1
以前の書き出しではないファイルがあります。それでもこのフォルダーにセリフを書き出しますか?</translation>
    </message>
    <message>
        <source>The lines cannot go into this folder:
%1</source>
        <translation>このフォルダーにはセリフを書き出せません:
%1</translation>
    </message>
    <message>
        <source>Stopped: the folder %1 cannot take more files (%2 of %3 lines were done).</source>
        <translation>中止しました: フォルダー %1 にこれ以上ファイルを書き込めません（%3 行中 %2 行を書き出しました）。</translation>
    </message>
    <message>
        <source>Cancelled: %1 of %2 lines were written to %3.</source>
        <translation>キャンセルしました: %2 行中 %1 行を %3 に書き出しました。</translation>
    </message>
    <message>
        <source>%1 lines were written to %2.</source>
        <translation>%1 行を %2 に書き出しました。</translation>
    </message>
    <message>
        <source>
%1 had no voice clip, %2 had no face picture.</source>
        <translation>
ボイスなし %1 行、顔画像なし %2 行。</translation>
    </message>
    <message>
        <source>
%1 files could not be written, the first: %2</source>
        <translation>
%1 個のファイルを書き込めませんでした。最初のもの: %2</translation>
    </message>
    <message>
        <source>
%1 files of the earlier export could not be removed, the first: %2</source>
        <translation>
以前の書き出しのファイル %1 個を削除できませんでした。最初のもの: %2</translation>
    </message>
    <message>
        <source>Export marked lines</source>
        <translation>チェックしたセリフの書き出し</translation>
    </message>
    <message>
        <source>No marked lines are shown in the list.</source>
        <translation>一覧に表示されているセリフにチェックがありません。</translation>
    </message>
    <message>
        <source>Writing lines to %1</source>
        <translation>%1 にセリフを書き出しています</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>キャンセル</translation>
    </message>
    <message>
        <source>Writing lines to %1: %2 / %3</source>
        <translation>%1 にセリフを書き出しています: %2 / %3</translation>
    </message>
    <message>
        <source>Clips tagged with their line</source>
        <translation>台詞のタグ付きクリップ</translation>
    </message>
    <message>
        <source>Clips as stored</source>
        <translation>格納されたままのクリップ</translation>
    </message>
    <message>
        <source>Clips as WAV</source>
        <translation>WAV のクリップ</translation>
    </message>
    <message>
        <source>Clip files</source>
        <translation>クリップファイル</translation>
    </message>
    <message>
        <source>Playlist</source>
        <translation>プレイリスト</translation>
    </message>
    <message>
        <source>playlist.m3u8: the clips in the order of the list</source>
        <translation>playlist.m3u8: 一覧の順のクリップ</translation>
    </message>
    <message>
        <source>One file</source>
        <translation>1 つのファイル</translation>
    </message>
    <message>
        <source>The walk as one sound file with a chapter per line, and its subtitles (walk.srt, walk.lrc)</source>
        <translation>再生の流れを台詞ごとのチャプター付きの 1 つの音声ファイルに、字幕 (walk.srt、walk.lrc) も書き出します</translation>
    </message>
    <message>
        <source>Format of the one file</source>
        <translation>1 つのファイルの形式</translation>
    </message>
    <message>
        <source>Write:</source>
        <translation>書き出し:</translation>
    </message>
    <message>
        <source>Writing %1 in %2: %3 / %4</source>
        <translation>%2 に %1 を書き出し中: %3 / %4</translation>
    </message>
    <message>
        <source>
The walk is in %1, with its subtitles.</source>
        <translation>
再生の流れを字幕とともに %1 に書き出しました。</translation>
    </message>
</context>
<context>
    <name>tarnwick::CAboutDlg</name>
    <message>
        <source>About Tarnwick</source>
        <translation>バージョン情報 Tarnwick</translation>
    </message>
    <message>
        <source>Tarnwick, Version %1</source>
        <translation>Tarnwick, Version %1</translation>
    </message>
    <message>
        <source>Copyright (C) 2026 The Tarnwick developers.
Released under the MIT license; no warranty.</source>
        <translation>Copyright (C) 2026 The Tarnwick developers.
MIT ライセンスで公開しています。無保証です。</translation>
    </message>
    <message>
        <source>Language: English</source>
        <translation>言語: 日本語</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
</context>
<context>
    <name>tarnwick::CMprisRootAdaptor</name>
    <message>
        <source>Tarnwick</source>
        <translation>Tarnwick</translation>
    </message>
</context>
<context>
    <name>tarnwick::CQtStartupUi</name>
    <message>
        <source>Failed to read another_aa_talk.csv</source>
        <translation>Failed to read another_aa_talk.csv</translation>
    </message>
    <message>
        <source>Select application install folder.</source>
        <translation>Select application install folder.</translation>
    </message>
    <message>
        <source>Exe File</source>
        <translation>Exe File</translation>
    </message>
    <message>
        <source>All files</source>
        <translation>すべてのファイル</translation>
    </message>
    <message>
        <source>settings file too large, not used, and nothing will be saved: </source>
        <translation>設定ファイルが大きすぎるため使わず、設定も保存しません: </translation>
    </message>
    <message>
        <source>settings not saved: </source>
        <translation>設定を保存できませんでした: </translation>
    </message>
</context>
<context>
    <name>tarnwick::CSearchField</name>
    <message>
        <source>Clear the search</source>
        <translation>検索をクリア</translation>
    </message>
    <message>
        <source>Clear the search (Escape)</source>
        <translation>検索をクリア (Escape)</translation>
    </message>
</context>
<context>
    <name>tarnwick::CSelectorCombo</name>
    <message>
        <source>(all)</source>
        <translation>(すべて)</translation>
    </message>
    <message>
        <source>(mark all)</source>
        <translation>(すべて選択)</translation>
    </message>
    <message>
        <source>(unmark all)</source>
        <translation>(すべて解除)</translation>
    </message>
</context>
<context>
    <name>tarnwick::CSpeakerCombo</name>
    <message>
        <source>(all speakers)</source>
        <translation>(すべての話者)</translation>
    </message>
    <message>
        <source>(no name)</source>
        <translation>(名前なし)</translation>
    </message>
    <message>
        <source>%1 (%2)</source>
        <translation>%1 (%2)</translation>
    </message>
</context>
<context>
    <name>tarnwick::CTalkTableModel</name>
    <message>
        <source>ID</source>
        <translation>ID</translation>
    </message>
    <message>
        <source>Cast</source>
        <translation>Cast</translation>
    </message>
    <message>
        <source>Talk</source>
        <translation>Talk</translation>
    </message>
    <message>
        <source>%1, %2, %3, %4</source>
        <translation>%1、%2、%3、%4</translation>
    </message>
    <message>
        <source>marked</source>
        <translation>印あり</translation>
    </message>
    <message>
        <source>unmarked</source>
        <translation>印なし</translation>
    </message>
</context>
<context>
    <name>tarnwick::CTarnwickDlg</name>
    <message>
        <source>(Cast)</source>
        <translation>（キャスト）</translation>
    </message>
    <message>
        <source>(Play mode)</source>
        <translation>（再生モード）</translation>
    </message>
    <message>
        <source>Wait</source>
        <translation>ウェイト</translation>
    </message>
    <message>
        <source>x0.1s</source>
        <translation>x0.1s</translation>
    </message>
    <message>
        <source>Play mode</source>
        <translation>再生モード</translation>
    </message>
    <message>
        <source>Music volume</source>
        <translation>BGM Volume</translation>
    </message>
    <message>
        <source>Start</source>
        <translation>開始</translation>
    </message>
    <message>
        <source>Silent</source>
        <translation>Silent</translation>
    </message>
    <message>
        <source>Short</source>
        <translation>Short</translation>
    </message>
    <message>
        <source>Long</source>
        <translation>Long</translation>
    </message>
    <message>
        <source>Search (Ctrl+F)</source>
        <translation>検索 (Ctrl+F)</translation>
    </message>
    <message>
        <source>Previous line</source>
        <translation>前のセリフ</translation>
    </message>
    <message>
        <source>Pause</source>
        <translation>一時停止</translation>
    </message>
    <message>
        <source>Next line</source>
        <translation>次のセリフ</translation>
    </message>
    <message>
        <source>Replay the line</source>
        <translation>もう一度再生</translation>
    </message>
    <message>
        <source>Face picture</source>
        <translation>顔画像</translation>
    </message>
    <message>
        <source>Face of the speaker</source>
        <translation>話し手の顔</translation>
    </message>
    <message>
        <source>Talk text</source>
        <translation>台詞</translation>
    </message>
    <message>
        <source>Text of the line shown</source>
        <translation>表示中の台詞の本文</translation>
    </message>
    <message>
        <source>Cast</source>
        <translation>キャスト</translation>
    </message>
    <message>
        <source>Speaker of the line shown</source>
        <translation>表示中の台詞の話し手</translation>
    </message>
    <message>
        <source>Wait after the line, in tenths of a second</source>
        <translation>台詞の後のウェイト（0.1 秒単位）</translation>
    </message>
    <message>
        <source>Line&apos;s play mode</source>
        <translation>台詞の再生モード</translation>
    </message>
    <message>
        <source>How the line shown plays</source>
        <translation>表示中の台詞の再生のしかた</translation>
    </message>
    <message>
        <source>How the lines play: Default, Short or Long</source>
        <translation>台詞の再生のしかた: Default、Short、Long</translation>
    </message>
    <message>
        <source>Music volume (arrow keys; Page Up and Page Down by 10 dB)</source>
        <translation>BGM の音量（矢印キー。Page Up と Page Down で 10 dB ずつ）</translation>
    </message>
    <message>
        <source>Capture group</source>
        <translation>キャプチャグループ</translation>
    </message>
    <message>
        <source>The capture group whose lines the list shows</source>
        <translation>一覧に台詞を表示するキャプチャグループ</translation>
    </message>
    <message>
        <source>Capture item</source>
        <translation>キャプチャ項目</translation>
    </message>
    <message>
        <source>Marks the lines of a capture item, or marks or clears them all</source>
        <translation>キャプチャ項目の台詞に印を付けます。すべてに付ける、すべて外すこともできます</translation>
    </message>
    <message>
        <source>Search</source>
        <translation>検索</translation>
    </message>
    <message>
        <source>Shows the lines whose ID, cast or text holds every word (Ctrl+F; Escape empties it)</source>
        <translation>ID、キャスト、本文にすべての語を含む台詞を表示します（Ctrl+F。Escape で空に）</translation>
    </message>
    <message>
        <source>Lines shown / lines in the list · marked lines shown</source>
        <translation>表示中の台詞数 / 一覧の台詞数 · 表示中の印付き台詞数</translation>
    </message>
    <message>
        <source>Start or stop the walk through the marked lines (Space on the button)</source>
        <translation>印を付けた台詞の再生を開始・停止（ボタン上で Space）</translation>
    </message>
    <message>
        <source>Starts or stops the walk through the marked lines</source>
        <translation>印を付けた台詞の再生を開始・停止します</translation>
    </message>
    <message>
        <source>Talk lines</source>
        <translation>台詞一覧</translation>
    </message>
    <message>
        <source>Default</source>
        <translation>Default</translation>
    </message>
    <message>
        <source>Export marked lines…</source>
        <translation>チェックしたセリフを書き出し…</translation>
    </message>
    <message>
        <source>Choose game folder…</source>
        <translation>ゲームフォルダーを選択…</translation>
    </message>
    <message>
        <source>Undo marks</source>
        <translation>印を元に戻す</translation>
    </message>
    <message>
        <source>Redo marks</source>
        <translation>印をやり直す</translation>
    </message>
    <message>
        <source>Copy the line</source>
        <translation>台詞をコピー</translation>
    </message>
    <message>
        <source>Resume</source>
        <translation>再開</translation>
    </message>
    <message>
        <source>&amp;About Tarnwick...</source>
        <translation>バージョン情報 Tarnwick(&amp;A)...</translation>
    </message>
    <message>
        <source>The game does not open there:
%1</source>
        <translation>そこではゲームを開けません:
%1</translation>
    </message>
    <message>
        <source>%1 / %2 · %3 marked</source>
        <translation>%1 / %2 · 印 %3 件</translation>
    </message>
    <message>
        <source>%1 dB</source>
        <translation>%1 dB</translation>
    </message>
    <message>
        <source>Stop</source>
        <translation>停止</translation>
    </message>
    <message>
        <source>Play again</source>
        <translation>再生</translation>
    </message>
    <message>
        <source>Cast: %1</source>
        <translation>キャスト: %1</translation>
    </message>
    <message>
        <source>Face of %1</source>
        <translation>%1 の顔</translation>
    </message>
    <message>
        <source>Wait: %1 tenths of a second</source>
        <translation>ウェイト: %1 × 0.1 秒</translation>
    </message>
    <message>
        <source>Line&apos;s play mode: %1</source>
        <translation>台詞の再生モード: %1</translation>
    </message>
    <message>
        <source>Wait after the line</source>
        <translation>台詞の後のウェイト</translation>
    </message>
    <message>
        <source>%1 (cut at %2)</source>
        <translation>%1（%2で打ち切り）</translation>
    </message>
    <message>
        <source>The clip lasts longer than %1: only its first %1 plays</source>
        <translation>このボイスは%1より長いため、最初の%1だけを再生します</translation>
    </message>
    <message>
        <source>Speaker</source>
        <translation>話者</translation>
    </message>
    <message>
        <source>Shows only the lines of one speaker; type to narrow the names (Ctrl+Shift+F)</source>
        <translation>一人の話者の台詞だけを表示します。入力すると名前を絞り込みます (Ctrl+Shift+F)</translation>
    </message>
    <message>
        <source>Space marks or unmarks the selected lines, Enter plays the line</source>
        <translation>スペースで選択した台詞に印を付ける・外す、Enter で台詞を再生</translation>
    </message>
    <message>
        <source>Talk lines: Space marks or unmarks the selected lines, Enter plays, Ctrl+C copies, Ctrl+D adds to a collection (Shift+F10 for more)</source>
        <translation>台詞一覧: スペースで選択した台詞に印を付ける・外す、Enter で再生、Ctrl+C でコピー、Ctrl+D でコレクションに追加 (その他は Shift+F10)</translation>
    </message>
    <message>
        <source>Copy the lines</source>
        <translation>選択した台詞をコピー</translation>
    </message>
    <message>
        <source>Mark the lines shown</source>
        <translation>表示中の行に印を付ける</translation>
    </message>
    <message>
        <source>Unmark the lines shown</source>
        <translation>表示中の行の印を外す</translation>
    </message>
    <message>
        <source>Speakers</source>
        <translation>話者の並び</translation>
    </message>
    <message>
        <source>In order of appearance</source>
        <translation>登場順</translation>
    </message>
    <message>
        <source>By name</source>
        <translation>名前順</translation>
    </message>
    <message>
        <source>Add to collection</source>
        <translation>コレクションに追加</translation>
    </message>
    <message numerus="yes">
        <source>Adds the %n selected lines (Ctrl+D)</source>
        <translation>
            <numerusform>選択した %n 行を追加します (Ctrl+D)</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>Adds the %n marked lines shown (Ctrl+D)</source>
        <translation>
            <numerusform>表示中の印の付いた %n 行を追加します (Ctrl+D)</numerusform>
        </translation>
    </message>
    <message>
        <source>New collection…</source>
        <translation>新しいコレクション…</translation>
    </message>
    <message>
        <source>Remove from this collection</source>
        <translation>このコレクションから外す</translation>
    </message>
    <message>
        <source>Rename this collection…</source>
        <translation>このコレクションの名前を変更…</translation>
    </message>
    <message>
        <source>Delete this collection…</source>
        <translation>このコレクションを削除…</translation>
    </message>
    <message>
        <source>The lines were not added to the collection %1.</source>
        <translation>台詞をコレクション %1 に追加できませんでした。</translation>
    </message>
    <message>
        <source>New collection</source>
        <translation>新しいコレクション</translation>
    </message>
    <message>
        <source>Name of the new collection:</source>
        <translation>新しいコレクションの名前:</translation>
    </message>
    <message>
        <source>The lines were not removed from the collection.</source>
        <translation>台詞をコレクションから外せませんでした。</translation>
    </message>
    <message>
        <source>Rename collection</source>
        <translation>コレクションの名前を変更</translation>
    </message>
    <message>
        <source>New name of the collection %1:</source>
        <translation>コレクション %1 の新しい名前:</translation>
    </message>
    <message>
        <source>The collection %1 was not renamed.</source>
        <translation>コレクション %1 の名前を変更できませんでした。</translation>
    </message>
    <message>
        <source>Delete the collection %1? Its lines stay in the game.</source>
        <translation>コレクション %1 を削除しますか？台詞はゲームに残ります。</translation>
    </message>
    <message>
        <source>The collection %1 was not deleted.</source>
        <translation>コレクション %1 を削除できませんでした。</translation>
    </message>
    <message>
        <source>These collection files could not be read and are left as they are:
%1</source>
        <translation>次のコレクションファイルは読み込めなかったため、そのままにしてあります:
%1</translation>
    </message>
    <message>
        <source>(all speakers)</source>
        <translation>(すべての話者)</translation>
    </message>
    <message>
        <source>Play or pause</source>
        <translation>再生または一時停止</translation>
    </message>
    <message>
        <source>Voice volume</source>
        <translation>声の音量</translation>
    </message>
    <message>
        <source>Even loudness</source>
        <translation>音量をそろえる</translation>
    </message>
    <message>
        <source>Voice volume (%1; arrow keys by 1 %, Page Up and Page Down by 10 %)</source>
        <translation>声の音量 (%1、矢印キーで 1 %、Page Up と Page Down で 10 %)</translation>
    </message>
    <message>
        <source>Plays every clip at one loudness, never louder than the clip allows</source>
        <translation>どの音声も同じ大きさで再生します。音声が割れるほど大きくはしません</translation>
    </message>
    <message>
        <source>Position in the clip</source>
        <translation>音声の再生位置</translation>
    </message>
    <message>
        <source>Position in the clip: click to move there (Shift+Left, Shift+Right)</source>
        <translation>音声の再生位置: クリックでその位置へ移ります (Shift+←、Shift+→)</translation>
    </message>
    <message>
        <source>Shuffle</source>
        <translation>シャッフル</translation>
    </message>
    <message>
        <source>Repeat: off</source>
        <translation>リピート: オフ</translation>
    </message>
    <message>
        <source>Back in the clip</source>
        <translation>音声を戻す</translation>
    </message>
    <message>
        <source>On in the clip</source>
        <translation>音声を進める</translation>
    </message>
    <message>
        <source>%1 %</source>
        <translation>%1 %</translation>
    </message>
    <message>
        <source>Repeat the line</source>
        <translation>この台詞をリピート</translation>
    </message>
    <message>
        <source>Repeat the walk</source>
        <translation>全体をリピート</translation>
    </message>
    <message>
        <source>%1 of %2</source>
        <translation>%1 / %2</translation>
    </message>
</context>
</TS>
