<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="ja">
<context>
    <name>CommandLine</name>
    <message>
        <source>ウィンドウを開かずに、音声ファイルごとにテンポを一行ずつ表示します（korvo --tempo FILE...）。</source>
        <translation>Prints the tempo of each sound file on a line of its own, without opening a window (korvo --tempo FILE...).</translation>
    </message>
    <message>
        <source>ウィンドウを開かずに、各ファイルをテンポ TEMPO の WAV にしてそのファイルの隣に書き出します（korvo --render TEMPO FILE... [--keep-pitch] [--from TEMPO]）。</source>
        <translation>Writes each file at tempo TEMPO as a WAV file beside it, without opening a window (korvo --render TEMPO FILE... [--keep-pitch] [--from TEMPO]).</translation>
    </message>
    <message>
        <source>サンプルを別のテンポで鳴らすためのピッチ変化を求め、サンプルのテンポを読み取ります。</source>
        <translation>Works out the pitch change that plays a sample at another tempo, and reads a sample&apos;s tempo.</translation>
    </message>
    <message>
        <source>この使い方を表示して終了します。</source>
        <translation>Shows this help and exits.</translation>
    </message>
    <message>
        <source>バージョンを表示して終了します。</source>
        <translation>Shows the version and exits.</translation>
    </message>
    <message>
        <source>--render で、ピッチを変えずにテンポだけを変えます。</source>
        <translation>With --render, changes the tempo and keeps the pitch.</translation>
    </message>
    <message>
        <source>--render で、どのファイルも元のテンポを TEMPO とします（省略時はファイルごとに読み取ります）。</source>
        <translation>With --render, takes TEMPO as every file&apos;s own tempo (otherwise each file&apos;s tempo is read from it).</translation>
    </message>
    <message>
        <source>開いてすぐ BPM 1 にテンポを読み取る音声ファイル</source>
        <translation>A sound file whose tempo is read into BPM 1 at start</translation>
    </message>
    <message>
        <source>オプションの値の指定が正しくありません</source>
        <translation>An option is missing its value or has one it does not take</translation>
    </message>
    <message>
        <source>不明なオプションです: </source>
        <translation>Unknown option: </translation>
    </message>
    <message>
        <source>（使い方は korvo --help）</source>
        <translation> (see korvo --help)</translation>
    </message>
    <message>
        <source>%1 は一緒に指定できません。</source>
        <translation>%1 cannot be used together.</translation>
    </message>
    <message>
        <source> と </source>
        <translation> and </translation>
    </message>
    <message>
        <source>ウィンドウで開けるファイルは一つだけです。複数のファイルのテンポは korvo --tempo FILE... で表示できます。</source>
        <translation>The window opens one file only. For the tempo of several files, use korvo --tempo FILE...</translation>
    </message>
</context>
<context>
    <name>Export</name>
    <message>
        <source>同じ名前のファイルがすでにあります。</source>
        <translation>A file of that name is already there.</translation>
    </message>
    <message>
        <source>書き出し先に書き込む権限がありません。</source>
        <translation>You have no permission to write to that folder.</translation>
    </message>
    <message>
        <source>ディスクの空き容量が足りません。</source>
        <translation>The disk is full.</translation>
    </message>
    <message>
        <source>ファイルを書き込めませんでした。</source>
        <translation>The file could not be written.</translation>
    </message>
</context>
<context>
    <name>RenderCommand</name>
    <message>
        <source>テンポは 1 から 250 までの数で指定してください。</source>
        <translation>Give the tempo as a number from 1 to 250.</translation>
    </message>
    <message>
        <source>--render のあとにテンポと音声ファイルを指定してください（korvo --render TEMPO FILE...）</source>
        <translation>Give a tempo and sound files after --render (korvo --render TEMPO FILE...)</translation>
    </message>
    <message>
        <source>音声の書き出しに使うモジュールが見つかりません。</source>
        <translation>The audio module that writes sound cannot be found.</translation>
    </message>
    <message>
        <source>%1 に一致するファイルがありません。</source>
        <translation>No file matches %1.</translation>
    </message>
    <message>
        <source>テンポの差が大きすぎます（4オクターブまで）。</source>
        <translation>The tempos are too far apart (four octaves at most).</translation>
    </message>
    <message>
        <source>長すぎます（1時間まで）。</source>
        <translation>Too long (an hour at most).</translation>
    </message>
    <message>
        <source>読めません。</source>
        <translation>Cannot be read.</translation>
    </message>
    <message>
        <source>結果を書き出せませんでした。</source>
        <translation>The results could not be written out.</translation>
    </message>
</context>
<context>
    <name>SampleWords</name>
    <message>
        <source>ファイルを開けません。</source>
        <translation>The file cannot be opened.</translation>
    </message>
    <message>
        <source>対応していないファイル形式です。</source>
        <translation>This file format is not supported.</translation>
    </message>
    <message>
        <source>ファイルが壊れているか、途中で切れています。</source>
        <translation>The file is damaged or cut short.</translation>
    </message>
    <message>
        <source>音が入っていません（長さが0です）。</source>
        <translation>The file holds no sound (its length is 0).</translation>
    </message>
    <message>
        <source>無音です。</source>
        <translation>The file is silent.</translation>
    </message>
    <message>
        <source>短すぎます（0.24秒未満）。</source>
        <translation>Too short (under 0.24 s).</translation>
    </message>
    <message>
        <source>拍が見つかりませんでした（持続音や雑音のようです）。</source>
        <translation>No beat was found (it sounds like a held tone or noise).</translation>
    </message>
    <message>
        <source>テンポが見つかりませんでした。</source>
        <translation>No tempo was found.</translation>
    </message>
    <message>
        <source>中止しました。</source>
        <translation>Cancelled.</translation>
    </message>
    <message numerus="yes">
        <source>%n拍</source>
        <translation>
            <numerusform>%n beat</numerusform>
            <numerusform>%n beats</numerusform>
        </translation>
    </message>
    <message>
        <source>%1より%2ミリ秒長い</source>
        <translation>%2 ms longer than %1</translation>
    </message>
    <message>
        <source>%1より%2ミリ秒短い</source>
        <translation>%2 ms shorter than %1</translation>
    </message>
    <message>
        <source>%1より%2秒長い</source>
        <translation>%2 s longer than %1</translation>
    </message>
    <message>
        <source>%1より%2秒短い</source>
        <translation>%2 s shorter than %1</translation>
    </message>
    <message>
        <source>%1（%2）</source>
        <translation>%1 (%2)</translation>
    </message>
    <message>
        <source>%1のループ</source>
        <translation>a loop of %1</translation>
    </message>
    <message>
        <source>ファイルのループ情報から</source>
        <translation>from the file&apos;s loop information</translation>
    </message>
    <message>
        <source>ファイル名のBPMから</source>
        <translation>from the BPM in the file name</translation>
    </message>
    <message>
        <source>長さが拍と合わないため拍から</source>
        <translation>from the beat, as the length does not fit it</translation>
    </message>
    <message>
        <source>ループではないため拍から</source>
        <translation>from the beat, as it is not a loop</translation>
    </message>
    <message numerus="yes">
        <source>%1拍（%n小節）</source>
        <translation>
            <numerusform>%1 beats (%n bar)</numerusform>
            <numerusform>%1 beats (%n bars)</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>TempoCommand</name>
    <message numerus="yes">
        <source>%n拍</source>
        <translation>
            <numerusform>%n beat</numerusform>
            <numerusform>%n beats</numerusform>
        </translation>
    </message>
    <message>
        <source>読み取れません: </source>
        <translation>cannot read: </translation>
    </message>
    <message>
        <source>なし</source>
        <translation>none</translation>
    </message>
    <message>
        <source>秒</source>
        <translation> s</translation>
    </message>
    <message>
        <source>推定 </source>
        <translation>estimate </translation>
    </message>
    <message>
        <source>テンポ </source>
        <translation>tempo </translation>
    </message>
    <message>
        <source>--tempo のあとに音声ファイルを指定してください（korvo --tempo FILE...）</source>
        <translation>Give sound files after --tempo (korvo --tempo FILE...)</translation>
    </message>
    <message>
        <source>%1 に一致するファイルがありません。</source>
        <translation>No file matches %1.</translation>
    </message>
    <message>
        <source>結果を書き出せませんでした。</source>
        <translation>The results could not be written out.</translation>
    </message>
</context>
<context>
    <name>WindowSystemCheck</name>
    <message>
        <source>画面に接続できないため起動できません（Wayland では qt6-wayland パッケージが必要です）。</source>
        <translation>Cannot start: no display can be reached (on Wayland, the qt6-wayland package is needed).</translation>
    </message>
    <message>
        <source>画面に接続できないため起動できません。</source>
        <translation>Cannot start: no display can be reached.</translation>
    </message>
</context>
<context>
    <name>korvo::DelayWindow</name>
    <message>
        <source>Korvo ディレイ</source>
        <translation>Korvo Delay</translation>
    </message>
    <message>
        <source>音符選択</source>
        <translation>Note value</translation>
    </message>
    <message>
        <source>音符</source>
        <translation>Note</translation>
    </message>
    <message>
        <source>付点など</source>
        <translation>Modifier</translation>
    </message>
    <message>
        <source>ディレイタイム表示</source>
        <translation>Delay time</translation>
    </message>
    <message>
        <source>ディレイタイム</source>
        <translation>Delay time</translation>
    </message>
    <message>
        <source>オプション</source>
        <translation>Option</translation>
    </message>
    <message>
        <source>デフォルト</source>
        <translation>Default</translation>
    </message>
    <message>
        <source>閉じる (&amp;C)</source>
        <translation>&amp;Close</translation>
    </message>
    <message>
        <source>全音符 whole</source>
        <translation>whole note</translation>
    </message>
    <message>
        <source>2分音符 half</source>
        <translation>half note</translation>
    </message>
    <message>
        <source>4分音符 quarter</source>
        <translation>quarter note</translation>
    </message>
    <message>
        <source>8分音符 8th</source>
        <translation>8th note</translation>
    </message>
    <message>
        <source>16分音符 16th</source>
        <translation>16th note</translation>
    </message>
    <message>
        <source>32分音符 32th</source>
        <translation>32nd note</translation>
    </message>
    <message>
        <source>64分音符 64th</source>
        <translation>64th note</translation>
    </message>
    <message>
        <source>ちょうど just</source>
        <translation>straight</translation>
    </message>
    <message>
        <source>付点( . )</source>
        <translation>dotted ( . )</translation>
    </message>
    <message>
        <source>付々点 ( . . )</source>
        <translation>double-dotted ( . . )</translation>
    </message>
    <message>
        <source>2倍</source>
        <translation>×2</translation>
    </message>
    <message>
        <source>3倍</source>
        <translation>×3</translation>
    </message>
    <message>
        <source>1/3(三連 triplet)</source>
        <translation>1/3 (triplet)</translation>
    </message>
    <message>
        <source>2/3(三連)</source>
        <translation>2/3 (triplet)</translation>
    </message>
    <message>
        <source>タイム・フォーマット(なし)</source>
        <translation>Time format (none)</translation>
    </message>
    <message>
        <source>Ｍｉｄｉ タイムベース=480</source>
        <translation>MIDI timebase = 480</translation>
    </message>
    <message>
        <source>Ｍｉｄｉ タイムベース= 96</source>
        <translation>MIDI timebase =  96</translation>
    </message>
    <message>
        <source>Ｍｉｄｉ タイムベース= 48</source>
        <translation>MIDI timebase =  48</translation>
    </message>
    <message>
        <source>フレームレート = 24</source>
        <translation>Frame rate = 24</translation>
    </message>
    <message>
        <source>フレームレート = 29.97</source>
        <translation>Frame rate = 29.97</translation>
    </message>
    <message>
        <source>フレームレート = 30</source>
        <translation>Frame rate = 30</translation>
    </message>
</context>
<context>
    <name>korvo::MainWindow</name>
    <message>
        <source>ディレイタイム(&amp;D)...</source>
        <translation>&amp;Delay time...</translation>
    </message>
    <message>
        <source>ピッチ調整</source>
        <translation>Pitch shift</translation>
    </message>
    <message>
        <source>サンプラー</source>
        <translation>Sampler</translation>
    </message>
    <message>
        <source>半音</source>
        <translation>Semitones</translation>
    </message>
    <message>
        <source>セント</source>
        <translation>Cents</translation>
    </message>
    <message>
        <source>( 1/100半音)</source>
        <translation>(1/100 semi)</translation>
    </message>
    <message>
        <source>計算！</source>
        <translation>Calculate!</translation>
    </message>
    <message>
        <source>終了(&amp;X)</source>
        <translation>E&amp;xit</translation>
    </message>
    <message>
        <source>ファイル(&amp;F)</source>
        <translation>&amp;File</translation>
    </message>
    <message>
        <source>計算実行(&amp;C)</source>
        <translation>&amp;Calculate</translation>
    </message>
    <message>
        <source>サンプルのテンポ(&amp;W)...</source>
        <translation>Sample &amp;tempo...</translation>
    </message>
    <message>
        <source>サンプルのテンポ (BPM 2)(&amp;V)...</source>
        <translation>Sample tempo (BPM &amp;2)...</translation>
    </message>
    <message>
        <source>オプション(&amp;R)</source>
        <translation>&amp;Options</translation>
    </message>
    <message>
        <source>ディレイタイム(&amp;D)</source>
        <translation>&amp;Delay time</translation>
    </message>
    <message>
        <source>BPM1をタップ(&amp;1)</source>
        <translation>Tap BPM &amp;1</translation>
    </message>
    <message>
        <source>BPM2をタップ(&amp;2)</source>
        <translation>Tap BPM &amp;2</translation>
    </message>
    <message>
        <source>サンプル(&amp;S)...</source>
        <translation>&amp;Sample...</translation>
    </message>
    <message>
        <source>ヘルプ(&amp;H)</source>
        <translation>&amp;Help</translation>
    </message>
    <message>
        <source>作者情報...</source>
        <translation>About...</translation>
    </message>
    <message>
        <source>マニュアル表示（&amp;L）</source>
        <translation>&amp;Manual</translation>
    </message>
    <message>
        <source>BPMエラー</source>
        <translation>BPM error</translation>
    </message>
    <message>
        <source>入力するBPMは1～250の範囲です。</source>
        <translation>Enter a BPM from 1 to 250.</translation>
    </message>
    <message>
        <source>サンプルのテンポ (BPM %1)</source>
        <translation>Sample tempo (BPM %1)</translation>
    </message>
    <message>
        <source>自動保存アラート...</source>
        <translation>Autosave alert...</translation>
    </message>
    <message>
        <source>テンポ値が不適切でした。
変更前の値が自動保存されますが、終了しますか？</source>
        <translation>A tempo was not valid.
The values from before the change will be saved. Exit anyway?</translation>
    </message>
    <message>
        <source>プログラム: Korvo 開発チーム</source>
        <translation>Program: the Korvo developers</translation>
    </message>
    <message>
        <source>保存先に書き込む権限がありません。</source>
        <translation>You have no permission to write where the settings are kept.</translation>
    </message>
    <message>
        <source>ディスクの空き容量が足りません。</source>
        <translation>The disk is full.</translation>
    </message>
    <message>
        <source>保存先のフォルダが見つかりません。</source>
        <translation>The folder for the settings cannot be found.</translation>
    </message>
    <message>
        <source>保存先のファイルをほかのプログラムが使用しています。</source>
        <translation>Another program is using the settings file.</translation>
    </message>
    <message>
        <source>保存先のファイルを読み込めないため、上書きしませんでした。</source>
        <translation>The settings file could not be read, so it was not overwritten.</translation>
    </message>
    <message>
        <source>保存先は読み取り専用の場所です。</source>
        <translation>The settings are kept in a read-only place.</translation>
    </message>
    <message>
        <source>保存先のファイル数が上限に達しています。</source>
        <translation>The place for the settings holds as many files as it can.</translation>
    </message>
    <message>
        <source>ファイルを書き込めませんでした。</source>
        <translation>The file could not be written.</translation>
    </message>
    <message>
        <source>前回までの設定はそのまま残っています。</source>
        <translation>The settings from before are kept as they were.</translation>
    </message>
    <message>
        <source>次回は初期値で起動します。</source>
        <translation>Korvo will start with its defaults next time.</translation>
    </message>
    <message>
        <source>設定を保存できませんでした。%1
%2
%3</source>
        <translation>The settings could not be saved. %1
%2
%3</translation>
    </message>
    <message>
        <source>保存エラー</source>
        <translation>Save error</translation>
    </message>
</context>
<context>
    <name>korvo::ManualWindow</name>
    <message>
        <source>表示位置</source>
        <translation>Position</translation>
    </message>
</context>
<context>
    <name>korvo::SampleTempo</name>
    <message>
        <source>音声ファイル (%1);;すべてのファイル (*)</source>
        <translation>Sound files (%1);;All files (*)</translation>
    </message>
    <message>
        <source>%1 のテンポを調べています...</source>
        <translation>Reading the tempo of %1...</translation>
    </message>
    <message>
        <source>中止</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>進行状況</source>
        <translation>Progress</translation>
    </message>
    <message>
        <source>サンプルのテンポ</source>
        <translation>Sample tempo</translation>
    </message>
    <message>
        <source>%1 のテンポを読み取れませんでした。
%2</source>
        <translation>The tempo of %1 could not be read.
%2</translation>
    </message>
</context>
<context>
    <name>korvo::SampleTempoDialog</name>
    <message>
        <source>拍から</source>
        <translation>from the beat</translation>
    </message>
    <message>
        <source>推定値から</source>
        <translation>from the estimate</translation>
    </message>
    <message>
        <source>サンプルのテンポ (BPM %1)</source>
        <translation>Sample tempo (BPM %1)</translation>
    </message>
    <message>
        <source>%1秒</source>
        <translation>%1 s</translation>
    </message>
    <message>
        <source>&#x3000;</source>
        <translation>  </translation>
    </message>
    <message>
        <source>%1 BPM&#x3000;%2</source>
        <translation>%1 BPM  %2</translation>
    </message>
    <message>
        <source>なし</source>
        <translation>none</translation>
    </message>
    <message>
        <source>候補</source>
        <translation>Readings</translation>
    </message>
    <message>
        <source>読み方</source>
        <translation>Reading</translation>
    </message>
    <message>
        <source>ファイル</source>
        <translation>File</translation>
    </message>
    <message>
        <source>長さ</source>
        <translation>Length</translation>
    </message>
    <message>
        <source>テンポ</source>
        <translation>Tempo</translation>
    </message>
    <message>
        <source>推定</source>
        <translation>Estimate</translation>
    </message>
    <message>
        <source>候補:</source>
        <translation>Readings:</translation>
    </message>
    <message>
        <source>キャンセル</source>
        <translation>Cancel</translation>
    </message>
</context>
<context>
    <name>korvo::SampleWindow</name>
    <message>
        <source>音を出す装置が見つかりません。</source>
        <translation>No sound output was found.</translation>
    </message>
    <message>
        <source>音を出す装置を使えませんでした。</source>
        <translation>The sound output could not be used.</translation>
    </message>
    <message>
        <source>音声モジュールを読み込めないため、サンプルを再生も書き出しもできません。</source>
        <translation>The audio module cannot be loaded, so the sample can be neither played nor exported.</translation>
    </message>
    <message>
        <source>Korvo サンプル</source>
        <translation>Korvo Sample</translation>
    </message>
    <message>
        <source>再生</source>
        <translation>Play</translation>
    </message>
    <message>
        <source>ピッチごと</source>
        <translation>With pitch</translation>
    </message>
    <message>
        <source>ピッチを保つ</source>
        <translation>Keep pitch</translation>
    </message>
    <message>
        <source>書き出し...</source>
        <translation>Export...</translation>
    </message>
    <message>
        <source>%1 は1時間より長いため、再生できません。</source>
        <translation>%1 is longer than an hour and cannot be played.</translation>
    </message>
    <message>
        <source>%1 を開けませんでした。</source>
        <translation>%1 could not be opened.</translation>
    </message>
    <message>
        <source>秒</source>
        <translation> s</translation>
    </message>
    <message>
        <source>停止</source>
        <translation>Stop</translation>
    </message>
    <message>
        <source>音を出す装置が使えなくなったため、再生を止めました。</source>
        <translation>The sound output stopped working, so playback has stopped.</translation>
    </message>
    <message>
        <source>書き出し</source>
        <translation>Export</translation>
    </message>
    <message>
        <source>WAV ファイル (*.wav)</source>
        <translation>WAV files (*.wav)</translation>
    </message>
    <message>
        <source>%1 を書き出せませんでした。
%2</source>
        <translation>%1 could not be exported.
%2</translation>
    </message>
    <message>
        <source>%1 はすでにあります。
置き換えますか？</source>
        <translation>%1 is already there.
Replace it?</translation>
    </message>
    <message>
        <source>%1 を書き出しています...</source>
        <translation>Exporting %1...</translation>
    </message>
    <message>
        <source>中止</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>サンプル</source>
        <translation>Sample</translation>
    </message>
</context>
<context>
    <name>korvo::TapWindow</name>
    <message>
        <source>Korvo タップ</source>
        <translation>Korvo Tap</translation>
    </message>
    <message>
        <source>タップ (&amp;T)</source>
        <translation>&amp;Tap</translation>
    </message>
    <message>
        <source>やりなおし</source>
        <translation>Reset</translation>
    </message>
    <message>
        <source>セット(&amp;S)</source>
        <translation>&amp;Set</translation>
    </message>
    <message>
        <source>コピー</source>
        <translation>Copy</translation>
    </message>
    <message>
        <source>新BPM %1</source>
        <translation>New BPM %1</translation>
    </message>
</context>
<context>
    <name>korvo::TempoEntry</name>
    <message>
        <source>タップ...</source>
        <translation>Tap...</translation>
    </message>
    <message>
        <source>から</source>
        <translation>from</translation>
    </message>
    <message>
        <source>に</source>
        <translation>to</translation>
    </message>
</context>
<context>
    <name>korvo::Waveform</name>
    <message>
        <source>サンプルが読み込まれていません。</source>
        <translation>No sample is loaded.</translation>
    </message>
    <message>
        <source>波形</source>
        <translation>Waveform</translation>
    </message>
    <message>
        <source>読み込んでいます... %1%</source>
        <translation>Loading... %1%</translation>
    </message>
</context>
</TS>
