<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="en">
<context>
    <name>ExportTexts_T</name>
    <message>
        <source>Nothing was written: no existing folder was chosen.
The folder dialog gave:
%1
Pick a folder in the list, or type the path of one that exists.</source>
        <translation>Nothing was written: no existing folder was chosen.
The folder dialog gave:
%1
Pick a folder in the list, or type the path of one that exists.</translation>
    </message>
    <message>
        <source>The folder is not empty:
%1
It holds other files and no earlier export. Write the lines into it anyway?</source>
        <translation>The folder is not empty:
%1
It holds other files and no earlier export. Write the lines into it anyway?</translation>
    </message>
    <message>
        <source>The lines cannot go into this folder:
%1</source>
        <translation>The lines cannot go into this folder:
%1</translation>
    </message>
    <message>
        <source>Stopped: the folder %1 cannot take more files (%2 of %3 lines were done).</source>
        <translation>Stopped: the folder %1 cannot take more files (%2 of %3 lines were done).</translation>
    </message>
    <message>
        <source>Cancelled: %1 of %2 lines were written to %3.</source>
        <translation>Cancelled: %1 of %2 lines were written to %3.</translation>
    </message>
    <message>
        <source>%1 lines were written to %2.</source>
        <translation>%1 lines were written to %2.</translation>
    </message>
    <message>
        <source>
%1 had no voice clip, %2 had no face picture.</source>
        <translation>
%1 had no voice clip, %2 had no face picture.</translation>
    </message>
    <message>
        <source>
%1 files could not be written, the first: %2</source>
        <translation>
%1 files could not be written, the first: %2</translation>
    </message>
    <message>
        <source>
%1 files of the earlier export could not be removed, the first: %2</source>
        <translation>
%1 files of the earlier export could not be removed, the first: %2</translation>
    </message>
    <message>
        <source>Export marked lines</source>
        <translation>Export marked lines</translation>
    </message>
    <message>
        <source>No marked lines are shown in the list.</source>
        <translation>No marked lines are shown in the list.</translation>
    </message>
    <message>
        <source>Writing lines to %1</source>
        <translation>Writing lines to %1</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>Writing lines to %1: %2 / %3</source>
        <translation>Writing lines to %1: %2 / %3</translation>
    </message>
    <message>
        <source>Clips tagged with their line</source>
        <translation>Clips tagged with their line</translation>
    </message>
    <message>
        <source>Clips as stored</source>
        <translation>Clips as stored</translation>
    </message>
    <message>
        <source>Clips as WAV</source>
        <translation>Clips as WAV</translation>
    </message>
    <message>
        <source>Clip files</source>
        <translation>Clip files</translation>
    </message>
    <message>
        <source>Playlist</source>
        <translation>Playlist</translation>
    </message>
    <message>
        <source>playlist.m3u8: the clips in the order of the list</source>
        <translation>playlist.m3u8: the clips in the order of the list</translation>
    </message>
    <message>
        <source>One file</source>
        <translation>One file</translation>
    </message>
    <message>
        <source>The walk as one sound file with a chapter per line, and its subtitles (walk.srt, walk.lrc)</source>
        <translation>The walk as one sound file with a chapter per line, and its subtitles (walk.srt, walk.lrc)</translation>
    </message>
    <message>
        <source>Format of the one file</source>
        <translation>Format of the one file</translation>
    </message>
    <message>
        <source>Write:</source>
        <translation>Write:</translation>
    </message>
    <message>
        <source>Writing %1 in %2: %3 / %4</source>
        <translation>Writing %1 in %2: %3 / %4</translation>
    </message>
    <message>
        <source>
The walk is in %1, with its subtitles.</source>
        <translation>
The walk is in %1, with its subtitles.</translation>
    </message>
</context>
<context>
    <name>tarnwick::CAboutDlg</name>
    <message>
        <source>About Tarnwick</source>
        <translation>About Tarnwick</translation>
    </message>
    <message>
        <source>Tarnwick, Version %1</source>
        <translation>Tarnwick, Version %1</translation>
    </message>
    <message>
        <source>Copyright (C) 2026 The Tarnwick developers.
Released under the MIT license; no warranty.</source>
        <translation>Copyright (C) 2026 The Tarnwick developers.
Released under the MIT license; no warranty.</translation>
    </message>
    <message>
        <source>Language: English</source>
        <translation>Language: English</translation>
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
        <translation>All files</translation>
    </message>
    <message>
        <source>settings file too large, not used, and nothing will be saved: </source>
        <translation>settings file too large, not used, and nothing will be saved: </translation>
    </message>
    <message>
        <source>settings not saved: </source>
        <translation>settings not saved: </translation>
    </message>
</context>
<context>
    <name>tarnwick::CSearchField</name>
    <message>
        <source>Clear the search</source>
        <translation>Clear the search</translation>
    </message>
    <message>
        <source>Clear the search (Escape)</source>
        <translation>Clear the search (Escape)</translation>
    </message>
</context>
<context>
    <name>tarnwick::CSelectorCombo</name>
    <message>
        <source>(all)</source>
        <translation>(all)</translation>
    </message>
    <message>
        <source>(mark all)</source>
        <translation>(mark all)</translation>
    </message>
    <message>
        <source>(unmark all)</source>
        <translation>(unmark all)</translation>
    </message>
</context>
<context>
    <name>tarnwick::CSpeakerCombo</name>
    <message>
        <source>(all speakers)</source>
        <translation>(all speakers)</translation>
    </message>
    <message>
        <source>(no name)</source>
        <translation>(no name)</translation>
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
        <translation>%1, %2, %3, %4</translation>
    </message>
    <message>
        <source>marked</source>
        <translation>marked</translation>
    </message>
    <message>
        <source>unmarked</source>
        <translation>unmarked</translation>
    </message>
</context>
<context>
    <name>tarnwick::CTarnwickDlg</name>
    <message>
        <source>(Cast)</source>
        <translation>(Cast)</translation>
    </message>
    <message>
        <source>(Play mode)</source>
        <translation>(Play mode)</translation>
    </message>
    <message>
        <source>Wait</source>
        <translation>Wait</translation>
    </message>
    <message>
        <source>x0.1s</source>
        <translation>x0.1s</translation>
    </message>
    <message>
        <source>Play mode</source>
        <translation>Play mode</translation>
    </message>
    <message>
        <source>Music volume</source>
        <translation>Music volume</translation>
    </message>
    <message>
        <source>Start</source>
        <translation>Start</translation>
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
        <translation>Search (Ctrl+F)</translation>
    </message>
    <message>
        <source>Previous line</source>
        <translation>Previous line</translation>
    </message>
    <message>
        <source>Pause</source>
        <translation>Pause</translation>
    </message>
    <message>
        <source>Next line</source>
        <translation>Next line</translation>
    </message>
    <message>
        <source>Replay the line</source>
        <translation>Replay the line</translation>
    </message>
    <message>
        <source>Face picture</source>
        <translation>Face picture</translation>
    </message>
    <message>
        <source>Face of the speaker</source>
        <translation>Face of the speaker</translation>
    </message>
    <message>
        <source>Talk text</source>
        <translation>Talk text</translation>
    </message>
    <message>
        <source>Text of the line shown</source>
        <translation>Text of the line shown</translation>
    </message>
    <message>
        <source>Cast</source>
        <translation>Cast</translation>
    </message>
    <message>
        <source>Speaker of the line shown</source>
        <translation>Speaker of the line shown</translation>
    </message>
    <message>
        <source>Wait after the line, in tenths of a second</source>
        <translation>Wait after the line, in tenths of a second</translation>
    </message>
    <message>
        <source>Line&apos;s play mode</source>
        <translation>Line&apos;s play mode</translation>
    </message>
    <message>
        <source>How the line shown plays</source>
        <translation>How the line shown plays</translation>
    </message>
    <message>
        <source>How the lines play: Default, Short or Long</source>
        <translation>How the lines play: Default, Short or Long</translation>
    </message>
    <message>
        <source>Music volume (arrow keys; Page Up and Page Down by 10 dB)</source>
        <translation>Music volume (arrow keys; Page Up and Page Down by 10 dB)</translation>
    </message>
    <message>
        <source>Capture group</source>
        <translation>Capture group</translation>
    </message>
    <message>
        <source>The capture group whose lines the list shows</source>
        <translation>The capture group whose lines the list shows</translation>
    </message>
    <message>
        <source>Capture item</source>
        <translation>Capture item</translation>
    </message>
    <message>
        <source>Marks the lines of a capture item, or marks or clears them all</source>
        <translation>Marks the lines of a capture item, or marks or clears them all</translation>
    </message>
    <message>
        <source>Search</source>
        <translation>Search</translation>
    </message>
    <message>
        <source>Shows the lines whose ID, cast or text holds every word (Ctrl+F; Escape empties it)</source>
        <translation>Shows the lines whose ID, cast or text holds every word (Ctrl+F; Escape empties it)</translation>
    </message>
    <message>
        <source>Lines shown / lines in the list · marked lines shown</source>
        <translation>Lines shown / lines in the list · marked lines shown</translation>
    </message>
    <message>
        <source>Start or stop the walk through the marked lines (Space on the button)</source>
        <translation>Start or stop the walk through the marked lines (Space on the button)</translation>
    </message>
    <message>
        <source>Starts or stops the walk through the marked lines</source>
        <translation>Starts or stops the walk through the marked lines</translation>
    </message>
    <message>
        <source>Talk lines</source>
        <translation>Talk lines</translation>
    </message>
    <message>
        <source>Default</source>
        <translation>Default</translation>
    </message>
    <message>
        <source>Export marked lines…</source>
        <translation>Export marked lines…</translation>
    </message>
    <message>
        <source>Choose game folder…</source>
        <translation>Choose game folder…</translation>
    </message>
    <message>
        <source>Undo marks</source>
        <translation>Undo marks</translation>
    </message>
    <message>
        <source>Redo marks</source>
        <translation>Redo marks</translation>
    </message>
    <message>
        <source>Copy the line</source>
        <translation>Copy the line</translation>
    </message>
    <message>
        <source>Resume</source>
        <translation>Resume</translation>
    </message>
    <message>
        <source>&amp;About Tarnwick...</source>
        <translation>&amp;About Tarnwick...</translation>
    </message>
    <message>
        <source>The game does not open there:
%1</source>
        <translation>The game does not open there:
%1</translation>
    </message>
    <message>
        <source>%1 / %2 · %3 marked</source>
        <translation>%1 / %2 · %3 marked</translation>
    </message>
    <message>
        <source>%1 dB</source>
        <translation>%1 dB</translation>
    </message>
    <message>
        <source>Stop</source>
        <translation>Stop</translation>
    </message>
    <message>
        <source>Play again</source>
        <translation>Play again</translation>
    </message>
    <message>
        <source>Cast: %1</source>
        <translation>Cast: %1</translation>
    </message>
    <message>
        <source>Face of %1</source>
        <translation>Face of %1</translation>
    </message>
    <message>
        <source>Wait: %1 tenths of a second</source>
        <translation>Wait: %1 tenths of a second</translation>
    </message>
    <message>
        <source>Line&apos;s play mode: %1</source>
        <translation>Line&apos;s play mode: %1</translation>
    </message>
    <message>
        <source>Wait after the line</source>
        <translation>Wait after the line</translation>
    </message>
    <message>
        <source>%1 (cut at %2)</source>
        <translation>%1 (cut at %2)</translation>
    </message>
    <message>
        <source>The clip lasts longer than %1: only its first %1 plays</source>
        <translation>The clip lasts longer than %1: only its first %1 plays</translation>
    </message>
    <message>
        <source>Speaker</source>
        <translation>Speaker</translation>
    </message>
    <message>
        <source>Shows only the lines of one speaker; type to narrow the names (Ctrl+Shift+F)</source>
        <translation>Shows only the lines of one speaker; type to narrow the names (Ctrl+Shift+F)</translation>
    </message>
    <message>
        <source>Space marks or unmarks the selected lines, Enter plays the line</source>
        <translation>Space marks or unmarks the selected lines, Enter plays the line</translation>
    </message>
    <message>
        <source>Talk lines: Space marks or unmarks the selected lines, Enter plays, Ctrl+C copies, Ctrl+D adds to a collection (Shift+F10 for more)</source>
        <translation>Talk lines: Space marks or unmarks the selected lines, Enter plays, Ctrl+C copies, Ctrl+D adds to a collection (Shift+F10 for more)</translation>
    </message>
    <message>
        <source>Copy the lines</source>
        <translation>Copy the lines</translation>
    </message>
    <message>
        <source>Mark the lines shown</source>
        <translation>Mark the lines shown</translation>
    </message>
    <message>
        <source>Unmark the lines shown</source>
        <translation>Unmark the lines shown</translation>
    </message>
    <message>
        <source>Speakers</source>
        <translation>Speakers</translation>
    </message>
    <message>
        <source>In order of appearance</source>
        <translation>In order of appearance</translation>
    </message>
    <message>
        <source>By name</source>
        <translation>By name</translation>
    </message>
    <message>
        <source>Add to collection</source>
        <translation>Add to collection</translation>
    </message>
    <message numerus="yes">
        <source>Adds the %n selected lines (Ctrl+D)</source>
        <translation>
            <numerusform>Adds the %n selected lines (Ctrl+D)</numerusform>
            <numerusform>Adds the %n selected lines (Ctrl+D)</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>Adds the %n marked lines shown (Ctrl+D)</source>
        <translation>
            <numerusform>Adds the %n marked lines shown (Ctrl+D)</numerusform>
            <numerusform>Adds the %n marked lines shown (Ctrl+D)</numerusform>
        </translation>
    </message>
    <message>
        <source>New collection…</source>
        <translation>New collection…</translation>
    </message>
    <message>
        <source>Remove from this collection</source>
        <translation>Remove from this collection</translation>
    </message>
    <message>
        <source>Rename this collection…</source>
        <translation>Rename this collection…</translation>
    </message>
    <message>
        <source>Delete this collection…</source>
        <translation>Delete this collection…</translation>
    </message>
    <message>
        <source>The lines were not added to the collection %1.</source>
        <translation>The lines were not added to the collection %1.</translation>
    </message>
    <message>
        <source>New collection</source>
        <translation>New collection</translation>
    </message>
    <message>
        <source>Name of the new collection:</source>
        <translation>Name of the new collection:</translation>
    </message>
    <message>
        <source>The lines were not removed from the collection.</source>
        <translation>The lines were not removed from the collection.</translation>
    </message>
    <message>
        <source>Rename collection</source>
        <translation>Rename collection</translation>
    </message>
    <message>
        <source>New name of the collection %1:</source>
        <translation>New name of the collection %1:</translation>
    </message>
    <message>
        <source>The collection %1 was not renamed.</source>
        <translation>The collection %1 was not renamed.</translation>
    </message>
    <message>
        <source>Delete the collection %1? Its lines stay in the game.</source>
        <translation>Delete the collection %1? Its lines stay in the game.</translation>
    </message>
    <message>
        <source>The collection %1 was not deleted.</source>
        <translation>The collection %1 was not deleted.</translation>
    </message>
    <message>
        <source>These collection files could not be read and are left as they are:
%1</source>
        <translation>These collection files could not be read and are left as they are:
%1</translation>
    </message>
    <message>
        <source>(all speakers)</source>
        <translation>(all speakers)</translation>
    </message>
    <message>
        <source>Play or pause</source>
        <translation>Play or pause</translation>
    </message>
    <message>
        <source>Voice volume</source>
        <translation>Voice volume</translation>
    </message>
    <message>
        <source>Even loudness</source>
        <translation>Even loudness</translation>
    </message>
    <message>
        <source>Voice volume (%1; arrow keys by 1 %, Page Up and Page Down by 10 %)</source>
        <translation>Voice volume (%1; arrow keys by 1 %, Page Up and Page Down by 10 %)</translation>
    </message>
    <message>
        <source>Plays every clip at one loudness, never louder than the clip allows</source>
        <translation>Plays every clip at one loudness, never louder than the clip allows</translation>
    </message>
    <message>
        <source>Position in the clip</source>
        <translation>Position in the clip</translation>
    </message>
    <message>
        <source>Position in the clip: click to move there (Shift+Left, Shift+Right)</source>
        <translation>Position in the clip: click to move there (Shift+Left, Shift+Right)</translation>
    </message>
    <message>
        <source>Shuffle</source>
        <translation>Shuffle</translation>
    </message>
    <message>
        <source>Repeat: off</source>
        <translation>Repeat: off</translation>
    </message>
    <message>
        <source>Back in the clip</source>
        <translation>Back in the clip</translation>
    </message>
    <message>
        <source>On in the clip</source>
        <translation>On in the clip</translation>
    </message>
    <message>
        <source>%1 %</source>
        <translation>%1 %</translation>
    </message>
    <message>
        <source>Repeat the line</source>
        <translation>Repeat the line</translation>
    </message>
    <message>
        <source>Repeat the walk</source>
        <translation>Repeat the walk</translation>
    </message>
    <message>
        <source>%1 of %2</source>
        <translation>%1 of %2</translation>
    </message>
</context>
</TS>
