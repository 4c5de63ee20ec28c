<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="ja">
    <context>
        <name>About</name>
        <message>
            <source>Kelvaneについて</source>
            <translation>About Kelvane</translation>
        </message>
        <message>
            <source>Webデータ抽出表示</source>
            <translation>Web data extraction and display</translation>
        </message>
        <message>
            <source>このダイアログ内をクリックすると閉じます.</source>
            <translation>Click inside this dialog to close it.</translation>
        </message>
        <message>
            <source>閉じる</source>
            <translation>Close</translation>
        </message>
    </context>
    <context>
        <name>FailureReason</name>
        <message>
            <source>接続が拒否されました</source>
            <translation>The connection was refused</translation>
        </message>
        <message>
            <source>接続がリセットされました</source>
            <translation>The connection was reset</translation>
        </message>
        <message>
            <source>接続が切断されました</source>
            <translation>The connection was closed</translation>
        </message>
        <message>
            <source>接続が中断されました</source>
            <translation>The connection was aborted</translation>
        </message>
        <message>
            <source>接続できませんでした</source>
            <translation>Could not connect</translation>
        </message>
        <message>
            <source>接続がタイムアウトしました</source>
            <translation>The connection timed out</translation>
        </message>
        <message>
            <source>タイムアウトしました</source>
            <translation>Timed out</translation>
        </message>
        <message>
            <source>ホスト名が見つかりません</source>
            <translation>The host name was not found</translation>
        </message>
        <message>
            <source>ホスト名を解決できませんでした</source>
            <translation>The host name could not be resolved</translation>
        </message>
        <message>
            <source>ネットワークに接続されていません</source>
            <translation>Not connected to a network</translation>
        </message>
        <message>
            <source>ネットワークが切り替わりました</source>
            <translation>The network changed</translation>
        </message>
        <message>
            <source>アドレスに到達できません</source>
            <translation>The address cannot be reached</translation>
        </message>
        <message>
            <source>アドレスが正しくありません</source>
            <translation>The address is not valid</translation>
        </message>
        <message>
            <source>サーバーから応答がありません</source>
            <translation>The server sent no response</translation>
        </message>
        <message>
            <source>サーバーの応答が正しくありません</source>
            <translation>The server's response is not valid</translation>
        </message>
        <message>
            <source>リダイレクトが多すぎます</source>
            <translation>Too many redirects</translation>
        </message>
        <message>
            <source>URLが正しくありません</source>
            <translation>The URL is not valid</translation>
        </message>
        <message>
            <source>URLの種類が分かりません</source>
            <translation>Unknown kind of URL</translation>
        </message>
        <message>
            <source>ファイルが見つかりません</source>
            <translation>File not found</translation>
        </message>
        <message>
            <source>アクセスが拒否されました</source>
            <translation>Access was denied</translation>
        </message>
        <message>
            <source>読み込みが中止されました</source>
            <translation>The load was stopped</translation>
        </message>
        <message>
            <source>ページではなく保存用のファイルが送られました (%1、ファイル名 %2)</source>
            <translation>The server sends a file to save, not a page (%1, file name %2)</translation>
        </message>
        <message>
            <source>ページではなく保存用のファイルが送られました</source>
            <translation>The server sends a file to save, not a page</translation>
        </message>
        <message>
            <source>ページが %1 MiB を超えています</source>
            <translation>The page is larger than %1 MiB</translation>
        </message>
        <message>
            <source>ページが大きすぎます (%1 MiB を超えるメモリが必要です)</source>
            <translation>The page is too large (it needs more than %1 MiB of memory)</translation>
        </message>
        <message>
            <source>SSL 接続に失敗しました</source>
            <translation>The SSL connection failed</translation>
        </message>
        <message>
            <source>サーバーの証明書が信頼できません</source>
            <translation>The server's certificate is not trusted</translation>
        </message>
        <message>
            <source>サーバーの証明書の期限が切れています</source>
            <translation>The server's certificate has expired</translation>
        </message>
        <message>
            <source>サーバーの証明書が無効です</source>
            <translation>The server's certificate is not valid</translation>
        </message>
        <message>
            <source>読み込めませんでした</source>
            <translation>Could not load the page</translation>
        </message>
        <message>
            <source>サーバーがエラーを返しました (HTTP %1)</source>
            <translation>The server returned an error (HTTP %1)</translation>
        </message>
    </context>
    <context>
        <name>History</name>
        <message>
            <source>履歴</source>
            <translation>History</translation>
        </message>
        <message>
            <source>表示(&amp;D)</source>
            <translation>&amp;Display</translation>
        </message>
        <message>
            <source>差分(&amp;F)</source>
            <translation>Di&amp;fferences</translation>
        </message>
        <message>
            <source>グラフ(&amp;G)</source>
            <translation>&amp;Chart</translation>
        </message>
        <message>
            <source>再読込(&amp;U)</source>
            <translation>Rel&amp;oad</translation>
        </message>
        <message>
            <source>CSV出力(&amp;E)...</source>
            <translation>&amp;Export CSV...</translation>
        </message>
        <message>
            <source>CSVを書き出しました: %1</source>
            <translation>CSV written: %1</translation>
        </message>
        <message>
            <source>%1 回の実行</source>
            <translation>%1 runs</translation>
        </message>
        <message>
            <source>履歴を読めません: %1</source>
            <translation>Cannot read the history: %1</translation>
        </message>
        <message>
            <source>最初の実行です</source>
            <translation>This is the first run</translation>
        </message>
        <message>
            <source>CSVを書き込めません: %1
%2</source>
            <translation>Cannot write the CSV file: %1
%2</translation>
        </message>
        <message>
            <source>CSV出力</source>
            <translation>Export CSV</translation>
        </message>
        <message>
            <source>CSVの列は最初の %1 系列までです。残りの %2 系列は入っていません。</source>
            <translation>The CSV holds the first %1 series only. The other %2 series are not in it.</translation>
        </message>
        <message>
            <source>正常</source>
            <translation>normal</translation>
        </message>
        <message>
            <source>停止</source>
            <translation>stopped</translation>
        </message>
        <message>
            <source>あり</source>
            <translation>yes</translation>
        </message>
        <message>
            <source>なし</source>
            <translation>no</translation>
        </message>
        <message>
            <source>時刻</source>
            <translation>Time</translation>
        </message>
        <message>
            <source>結果</source>
            <translation>Outcome</translation>
        </message>
        <message>
            <source>変化</source>
            <translation>Changed</translation>
        </message>
            <message>
            <source>通知(&amp;T)</source>
            <translation>&amp;Notices</translation>
        </message>
        <message>
            <source>系列に入らない行(&amp;L)</source>
            <translation>&amp;Lines outside the series</translation>
        </message>
        <message>
            <source>ウォッチ(&amp;W)</source>
            <translation>&amp;Watch</translation>
        </message>
        <message>
            <source>ホスト(&amp;O)</source>
            <translation>&amp;Host</translation>
        </message>
        <message>
            <source>実行(&amp;R)</source>
            <translation>&amp;Runs</translation>
        </message>
        <message>
            <source>すべて</source>
            <translation>All</translation>
        </message>
        <message>
            <source>%1 / %2 回の実行</source>
            <translation>%1 of %2 runs</translation>
        </message>
        <message>
            <source>ウォッチ</source>
            <translation>Watch</translation>
        </message>
        <message>
            <source>ホスト</source>
            <translation>Host</translation>
        </message>
        <message>
            <source>系列(&amp;S)</source>
            <translation>&amp;Series</translation>
        </message>
        <message>
            <source>直近7日</source>
            <translation>Last 7 days</translation>
        </message>
        <message>
            <source>直近30日</source>
            <translation>Last 30 days</translation>
        </message>
        <message>
            <source>直近90日</source>
            <translation>Last 90 days</translation>
        </message>
        <message>
            <source>直近1年</source>
            <translation>Last year</translation>
        </message>
        <message>
            <source>期間指定</source>
            <translation>Custom range</translation>
        </message>
        <message>
            <source>期間(&amp;P)</source>
            <translation>&amp;Period</translation>
        </message>
        <message>
            <source>開始(&amp;B)</source>
            <translation>Fro&amp;m</translation>
        </message>
        <message>
            <source>終了(&amp;N)</source>
            <translation>&amp;To</translation>
        </message>
        <message>
            <source>%1  この期間の値なし</source>
            <translation>%1  no value in this period</translation>
        </message>
        <message>
            <source>%1  最安 %2 / 最高 %3 / 現在 %4</source>
            <translation>%1  lowest %2 / highest %3 / current %4</translation>
        </message>
        <message>
            <source>ルール</source>
            <translation>Rule</translation>
        </message>
        <message>
            <source>通知</source>
            <translation>Notify</translation>
        </message>
        <message>
            <source>理由</source>
            <translation>Reason</translation>
        </message>
        <message>
            <source>通知先</source>
            <translation>Target</translation>
        </message>
        <message>
            <source>エラー</source>
            <translation>Error</translation>
        </message>
        <message>
            <source>ルールの判断(&amp;J)</source>
            <translation>Decisions of the r&amp;ules</translation>
        </message>
        <message>
            <source>送信の記録(&amp;Y)</source>
            <translation>Deli&amp;veries</translation>
        </message>
        <message>
            <source>送信済み</source>
            <translation>sent</translation>
        </message>
        <message>
            <source>失敗</source>
            <translation>failed</translation>
        </message>
        <message>
            <source>時間切れ</source>
            <translation>timed out</translation>
        </message>
        <message>
            <source>中断</source>
            <translation>abandoned</translation>
        </message>
        <message>
            <source>開始できず</source>
            <translation>not started</translation>
        </message>
        <message>
            <source>数がありません</source>
            <translation>No number</translation>
        </message>
        <message>
            <source>日付・時刻・番号の数だけです</source>
            <translation>Only numbers of dates, times or codes</translation>
        </message>
        <message>
            <source>数のほかに名前がありません</source>
            <translation>No name besides the number</translation>
        </message>
        <message>
            <source>同じ名前の行が前にあります</source>
            <translation>An earlier line has the same name</translation>
        </message>
        <message>
            <source>する</source>
            <translation>yes</translation>
        </message>
        <message>
            <source>しない</source>
            <translation>no</translation>
        </message>
        <message>
            <source>この実行のあとには通知の判断も送信もありません（通知の条件がないか、正常に終わらなかった実行です）。</source>
            <translation>Nothing was decided or sent after this run (no notification conditions are set, or the run did not end normally).</translation>
        </message>
        <message>
            <source>この実行のあと: 判断 %1 件、送信 %2 件</source>
            <translation>After this run: %1 decisions, %2 deliveries</translation>
        </message>
        <message>
            <source>行</source>
            <translation>Line</translation>
        </message>
        <message>
            <source>内容</source>
            <translation>Text</translation>
        </message>
        <message>
            <source>この実行の表示で系列になった行 %1、系列に入らない行 %2</source>
            <translation>Lines of this run's display in the series: %1; outside the series: %2</translation>
        </message>
        <message>
            <source>（最初の %1 行を示します）</source>
            <translation> (the first %1 are shown)</translation>
        </message>
    </context>
    <context>
        <name>Form1</name>
        <message>
            <source>通知先(&amp;P)…</source>
            <translation>Notification tar&amp;gets…</translation>
        </message>
        <message>
            <source>変化や故障をスマートフォンやチャットに知らせます (Apprise)</source>
            <translation>Tells your phone or chat about changes and failures (Apprise)</translation>
        </message>
        <message>
            <source>通知: </source>
            <translation>Notifications: </translation>
        </message>
        <message>
            <source>ページ切替</source>
            <translation>Pages</translation>
        </message>
        <message>
            <source>表示</source>
            <translation>Display</translation>
        </message>
        <message>
            <source>更新</source>
            <translation>Refresh</translation>
        </message>
        <message>
            <source>スクリプトの行</source>
            <translation>Script lines</translation>
        </message>
        <message>
            <source>待ち時間 (Wait)</source>
            <translation>Wait value (Wait)</translation>
        </message>
        <message>
            <source>更新間隔 (分)</source>
            <translation>Update interval (minutes)</translation>
        </message>
        <message>
            <source>自動更新</source>
            <translation>Automatic update</translation>
        </message>
        <message>
            <source>設定記憶</source>
            <translation>Save settings</translation>
        </message>
        <message>
            <source>スクリプトファイル</source>
            <translation>Script file</translation>
        </message>
        <message>
            <source>スクリプトファイルを選択</source>
            <translation>Choose the script file</translation>
        </message>
        <message>
            <source>メモ</source>
            <translation>Memo</translation>
        </message>
        <message>
            <source>自動更新時間帯</source>
            <translation>Update hours</translation>
        </message>
        <message>
            <source>自動更新時間帯を有効にする</source>
            <translation>Limit automatic updates to these hours</translation>
        </message>
        <message>
            <source>自動更新の開始 時</source>
            <translation>Automatic updates from, hour</translation>
        </message>
        <message>
            <source>自動更新の開始 分</source>
            <translation>Automatic updates from, minute</translation>
        </message>
        <message>
            <source>自動更新の終了 時</source>
            <translation>Automatic updates until, hour</translation>
        </message>
        <message>
            <source>自動更新の終了 分</source>
            <translation>Automatic updates until, minute</translation>
        </message>
        <message>
            <source>Log書込</source>
            <translation>Write log</translation>
        </message>
        <message>
            <source>Logファイル</source>
            <translation>Log file</translation>
        </message>
        <message>
            <source>Logファイルを選択</source>
            <translation>Choose the log file</translation>
        </message>
        <message>
            <source>Log自動書込</source>
            <translation>Auto log</translation>
        </message>
        <message>
            <source>終了</source>
            <translation>Exit</translation>
        </message>
        <message>
            <source>ページのHTML</source>
            <translation>Page HTML</translation>
        </message>
        <message>
            <source>サポート</source>
            <translation>Support</translation>
        </message>
        <message>
            <source>URL</source>
            <translation>URL</translation>
        </message>
        <message>
            <source>読込</source>
            <translation>Load</translation>
        </message>
        <message>
            <source>ページ表示</source>
            <translation>Page view</translation>
        </message>
        <message>
            <source>メニュー</source>
            <translation>Menu</translation>
        </message>
        <message>
            <source>更新(&amp;R)</source>
            <translation>&amp;Refresh</translation>
        </message>
        <message>
            <source>終了(&amp;X)</source>
            <translation>E&amp;xit</translation>
        </message>
        <message>
            <source>設定記憶(&amp;S)</source>
            <translation>&amp;Save settings</translation>
        </message>
        <message>
            <source>Log書込(&amp;L)</source>
            <translation>Write &amp;log</translation>
        </message>
        <message>
            <source>タイトルバー表示切替(&amp;B)</source>
            <translation>Title &amp;bar on/off</translation>
        </message>
        <message>
            <source>タイマーON(&amp;T)</source>
            <translation>&amp;Timer on</translation>
        </message>
        <message>
            <source>フォント(&amp;F)</source>
            <translation>&amp;Font</translation>
        </message>
        <message>
            <source>Font色指定(&amp;C)</source>
            <translation>Font &amp;colour</translation>
        </message>
        <message>
            <source>背景色(&amp;A)</source>
            <translation>B&amp;ackground colour</translation>
        </message>
        <message>
            <source>Kelvaneについて(&amp;V)</source>
            <translation>About Kel&amp;vane</translation>
        </message>
        <message>
            <source>変化を通知(&amp;N)</source>
            <translation>&amp;Notify of changes</translation>
        </message>
        <message>
            <source>自動更新で表示が前回と変わったら、デスクトップに通知します</source>
            <translation>Shows a desktop notice when an automatic update changes the display</translation>
        </message>
        <message>
            <source>待ち時間を自動調整(&amp;W)</source>
            <translation>Adjust the &amp;wait automatically</translation>
        </message>
        <message>
            <source>ページの書き換えと通信が止まったら、Waitの時間を待たずに読み込みます</source>
            <translation>Reads the page once it stops changing and loading, without waiting the whole Wait time</translation>
        </message>
        <message>
            <source>マニュアル(&amp;M)</source>
            <translation>&amp;Manual</translation>
        </message>
        <message>
            <source>スクリプト編集(&amp;E)</source>
            <translation>&amp;Edit script</translation>
        </message>
        <message>
            <source>新しいウォッチ(&amp;O)…</source>
            <translation>&amp;Open a new watch…</translation>
        </message>
        <message>
            <source>設定ファイルを選び、そのウォッチを別のウィンドウで開きます</source>
            <translation>Chooses a settings file and opens that watch in a window of its own</translation>
        </message>
        <message>
            <source>新しいウォッチを開けません．</source>
            <translation>Cannot open the new watch.</translation>
        </message>
        <message>
            <source>設定を保存しました: %1</source>
            <translation>Settings saved: %1</translation>
        </message>
        <message>
            <source>ログイン情報を消去(&amp;D)</source>
            <translation>&amp;Delete login</translation>
        </message>
        <message>
            <source>ページタブでログインした情報（Cookie とサイトのデータ）を消去します</source>
            <translation>Deletes what logging in on the Page tab left (cookies and site data)</translation>
        </message>
        <message>
            <source>このウォッチのログイン情報（Cookie とサイトのデータ）を消去します．ログインが必要なページには，もう一度ログインしてください．よろしいですか？</source>
            <translation>This deletes the login of this watch (cookies and site data). Pages that need a login will need you to log in again. Go ahead?</translation>
        </message>
        <message>
            <source>マニュアルが見つかりません．</source>
            <translation>The manual cannot be found.</translation>
        </message>
        <message>
            <source>マニュアルを開けません．</source>
            <translation>The manual cannot be opened.</translation>
        </message>
        <message>
            <source>間隔</source>
            <translation>Every</translation>
        </message>
        <message>
            <source>選択</source>
            <translation>...</translation>
        </message>
        <message>
            <source>有効</source>
            <translation>On</translation>
        </message>
        <message>
            <source>サポート: </source>
            <translation>Support: </translation>
        </message>
        <message>
            <source>履歴(&amp;H)</source>
            <translation>&amp;History</translation>
        </message>
        <message>
            <source>これまでの実行の表示、差分、数値のグラフを見ます</source>
            <translation>Shows past runs: their displays, the differences and a chart of their numbers</translation>
        </message>
        <message>
            <source>履歴の保存先(&amp;K)…</source>
            <translation>History &amp;place…</translation>
        </message>
        <message>
            <source>実行の履歴を残すファイル、または PostgreSQL サーバーを選びます</source>
            <translation>Chooses the file or the PostgreSQL server that keeps the history of runs</translation>
        </message>
        <message>
            <source>履歴のパスワードを読めません: </source>
            <translation>Cannot read the history's password: </translation>
        </message>
        <message>
            <source>このウォッチは別のウィンドウでも開かれていて、そちらがブラウザーのログイン情報を使っています。このウィンドウのブラウザーは一時的なプロファイルで動きます：Cookie は共有されますが、このウィンドウで保存したサイトのデータは終了時に消えます。</source>
            <translation>This watch is open in another window too, which uses the browser's login store. This window's browser runs with a temporary profile: cookies are shared, but site data saved in this window is gone when it ends.</translation>
        </message>
    </context>
    <context>
        <name>RunController</name>
        <message>
            <source>%1秒たっても読み込みが終わりません (%2)</source>
            <translation>The page has not loaded after %1 seconds (%2)</translation>
        </message>
        <message>
            <source>表示が変わりました: %1</source>
            <translation>The display changed: %1</translation>
        </message>
        <message>
            <source>読込失敗 %1
%2</source>
            <translation>Load failed %1
%2</translation>
        </message>
        <message>
            <source>履歴に記録できません: %1</source>
            <translation>Cannot record the run in the history: %1</translation>
        </message>
    </context>
    <context>
        <name>ScriptWorkbench</name>
        <message>
            <source>）</source>
            <translation>)</translation>
        </message>
        <message>
            <source>要素をクリックすると，その値とリスト全体を切り出す行を作ります．</source>
            <translation>Click an element to make the lines that cut its value and the whole list.</translation>
        </message>
        <message>
            <source>ページが大きすぎて表示できません（2 MB まで）．HT の中で選んでください．</source>
            <translation>The page is too large to show (2 MB at most). Select in HT instead.</translation>
        </message>
        <message>
            <source>不明なコマンドです</source>
            <translation>Unknown command</translation>
        </message>
        <message>
            <source>第%1パラメータがありません（前の行の値が使われます）</source>
            <translation>Parameter %1 is missing (the previous line's value is used)</translation>
        </message>
        <message>
            <source>第%1パラメータ: バッファ名か、ダブルクオーツで囲んだ文字列が必要です</source>
            <translation>Parameter %1: a buffer name or a text in double quotes is needed</translation>
        </message>
        <message>
            <source>第%1パラメータ: 書き込めるバッファ名が必要です</source>
            <translation>Parameter %1: the name of a buffer that can be written is needed</translation>
        </message>
        <message>
            <source>LOOP の中の LOOP です</source>
            <translation>A LOOP inside a LOOP</translation>
        </message>
        <message>
            <source>対応する LOOP がありません</source>
            <translation>No LOOP matches it</translation>
        </message>
        <message>
            <source>LOOPEND がありません（本体は 1 回だけ実行されます）</source>
            <translation>No LOOPEND (the body runs once only)</translation>
        </message>
        <message>
            <source>「%1」が見つかりません（長さ %2 の中</source>
            <translation>"%1" not found (in a text of length %2</translation>
        </message>
        <message>
            <source>、「%1」の後</source>
            <translation>, after "%1"</translation>
        </message>
        <message>
            <source>プレビュー %1 ms</source>
            <translation>Preview %1 ms</translation>
        </message>
        <message>
            <source>　― ループ %1 回で打ち切りました（プレビューは止まりません）</source>
            <translation> – cut off after %1 loop passes (the preview never hangs)</translation>
        </message>
        <message>
            <source>　― エラーで止まりました</source>
            <translation> – stopped by an error</translation>
        </message>
        <message>
            <source>保存(&amp;S)</source>
            <translation>&amp;Save</translation>
        </message>
        <message>
            <source>選択から行を作る(&amp;P)</source>
            <translation>Lines from the selection (&amp;P)</translation>
        </message>
        <message>
            <source>ページを取り直す(&amp;R)</source>
            <translation>Take the page again (&amp;R)</translation>
        </message>
        <message>
            <source>行</source>
            <translation>Line</translation>
        </message>
        <message>
            <source>内容</source>
            <translation>Contents</translation>
        </message>
        <message>
            <source>バッファ</source>
            <translation>Buffers</translation>
        </message>
        <message>
            <source>長さ</source>
            <translation>Length</translation>
        </message>
        <message>
            <source>回数</source>
            <translation>Times</translation>
        </message>
        <message>
            <source>変化・メッセージ</source>
            <translation>Changes and messages</translation>
        </message>
        <message>
            <source>表示 (D)</source>
            <translation>Display (D)</translation>
        </message>
        <message>
            <source>各行</source>
            <translation>Lines</translation>
        </message>
        <message>
            <source>HT（選んで行を作る）</source>
            <translation>HT (select to make lines)</translation>
        </message>
        <message>
            <source>ページ（クリックで選ぶ）</source>
            <translation>Page (click to pick)</translation>
        </message>
        <message>
            <source>スクリプト編集 - </source>
            <translation>Script editor - </translation>
        </message>
        <message>
            <source>保存しました．</source>
            <translation>Saved.</translation>
        </message>
        <message>
            <source>スクリプトが変更されています．保存しますか？</source>
            <translation>The script has been changed. Save it?</translation>
        </message>
        <message>
            <source>この値「%1」を切り出す（%2 行）</source>
            <translation>Cut this value "%1" (%2 lines)</translation>
        </message>
        <message>
            <source>リストの全項目を「名前&lt;TAB&gt;値」で（%1 件，%2 行）</source>
            <translation>Every item of the list as "name&lt;TAB&gt;value" (%1 items, %2 lines)</translation>
        </message>
        <message>
            <source>クリックした所は HT にありません（文字のない要素です）．</source>
            <translation>What was clicked is not in HT (an element without text).</translation>
        </message>
        <message>
            <source>HT の %1 文字目から %2 文字: 「%3」%4</source>
            <translation>HT from character %1, %2 characters: "%3"%4</translation>
        </message>
        <message>
            <source>（リストは見つかりません: %1）</source>
            <translation> (no list found: %1)</translation>
        </message>
        <message>
            <source>HT の中の切り出したい文字列を選んでください．</source>
            <translation>Select the text to cut out in HT.</translation>
        </message>
        <message>
            <source>リストの全項目を集める LOOP（%1 行）</source>
            <translation>A LOOP that collects every item of the list (%1 lines)</translation>
        </message>
        <message>
            <source>この値を切り出す（%1 行）</source>
            <translation>Cut this value (%1 lines)</translation>
        </message>
    </context>
    <context>
        <name>ListMiss</name>
        <message>
            <source>ページを HTML として読めません</source>
            <translation>the page cannot be read as HTML</translation>
        </message>
        <message>
            <source>選んだ所が要素の中にありません</source>
            <translation>the piece is not inside an element</translation>
        </message>
        <message>
            <source>選んだ所は値のある項目の並びの一部ではありません</source>
            <translation>the piece is not part of a list of items with a value</translation>
        </message>
        <message>
            <source>見つけた行では表示どおりに出ない項目があります</source>
            <translation>the lines found do not give every item as shown</translation>
        </message>
        <message>
            <source>項目自身のタグでは文字を見つけられません</source>
            <translation>the item&apos;s own tags do not find its text</translation>
        </message>
        <message>
            <source>項目の中に自分のタグを持たず見つけられない要素があります</source>
            <translation>an element of the item has no tags of its own to find it by</translation>
        </message>
        <message>
            <source>属性の中に「&gt;」を含む開始タグがあります</source>
            <translation>a start tag holds &quot;&gt;&quot; in an attribute</translation>
        </message>
        <message>
            <source>項目の中に同じ種類の要素が入れ子になっています</source>
            <translation>an element of the item holds another of its kind</translation>
        </message>
        <message>
            <source>名前と値の両方を持つ項目が二つ未満です</source>
            <translation>fewer than two items have a name and a value</translation>
        </message>
        <message>
            <source>項目の開始タグに共通する所が少なすぎます</source>
            <translation>the items&apos; start tags have too little in common</translation>
        </message>
        <message>
            <source>項目の開始タグがほかの要素の開始にも使われています</source>
            <translation>the items&apos; start tag also starts other elements</translation>
        </message>
        <message>
            <source>並びの前に，並びの始まりを見つける目印がありません</source>
            <translation>nothing before the list finds its start</translation>
        </message>
        <message>
            <source>並びの後に，並びの終わりを見つける目印がありません</source>
            <translation>nothing after the list finds its end</translation>
        </message>
        <message>
            <source>選んだ項目にある名前か値を持たない項目があります</source>
            <translation>an item lacks the name or the value the picked one has</translation>
        </message>
        <message>
            <source>名前か値にタグが多すぎて切り出せない項目があります</source>
            <translation>an item&apos;s name or value holds too much markup to cut</translation>
        </message>
        <message>
            <source>値を変えたページ</source>
            <translation>values changed</translation>
        </message>
        <message>
            <source>番号を振り直したページ</source>
            <translation>ids renumbered</translation>
        </message>
        <message>
            <source>項目を一つ足したページ</source>
            <translation>an item added</translation>
        </message>
        <message>
            <source>項目を一つ除いたページ</source>
            <translation>an item removed</translation>
        </message>
        <message>
            <source>見つけた行は%1で正しく動きません</source>
            <translation>the lines found fail on the page with %1</translation>
        </message>
    </context>
    <context>
        <name>NotifyDialog</name>
        <message>
            <source>送信しました</source>
            <translation>sent</translation>
        </message>
        <message>
            <source>時間切れ</source>
            <translation>timed out</translation>
        </message>
        <message>
            <source>中止</source>
            <translation>abandoned</translation>
        </message>
        <message>
            <source>送信できません</source>
            <translation>could not be sent</translation>
        </message>
        <message>
            <source>失敗</source>
            <translation>failed</translation>
        </message>
        <message>
            <source>通知先を読めません: </source>
            <translation>Cannot read the notification targets: </translation>
        </message>
        <message>
            <source>設定ファイルの通知の行を読めません: </source>
            <translation>Cannot read the notification lines of the settings file: </translation>
        </message>
        <message>
            <source>通知先を保存できません: </source>
            <translation>Cannot save the notification targets: </translation>
        </message>
        <message>
            <source>追加(&amp;A)</source>
            <translation>&amp;Add</translation>
        </message>
        <message>
            <source>削除(&amp;D)</source>
            <translation>&amp;Delete</translation>
        </message>
        <message>
            <source>最初の実行でも、すでに成り立つ条件を通知する(&amp;F)</source>
            <translation>Notify on the &amp;first run when a condition already holds</translation>
        </message>
        <message>
            <source>テスト送信(&amp;T)</source>
            <translation>Send a &amp;test</translation>
        </message>
        <message>
            <source>通知先</source>
            <translation>Notification targets</translation>
        </message>
        <message>
            <source>ntfy://… mailto://… json://… またはAppriseのタグ</source>
            <translation>ntfy://… mailto://… json://… or an Apprise tag</translation>
        </message>
        <message>
            <source>1行に1つ。例: changed / &quot;みかん&quot; below 300 / shows &quot;在庫あり&quot;</source>
            <translation>One per line, e.g. changed / &quot;みかん&quot; below 300 / shows &quot;在庫あり&quot;</translation>
        </message>
        <message>
            <source>知らせない</source>
            <translation>never</translation>
        </message>
        <message>
            <source>送信先(&amp;S):</source>
            <translation>&amp;Send to:</translation>
        </message>
        <message>
            <source>条件(&amp;W):</source>
            <translation>&amp;When:</translation>
        </message>
        <message>
            <source>続けて失敗したら知らせる回数(&amp;K):</source>
            <translation>Failed runs in a row before a notice (&amp;K):</translation>
        </message>
        <message>
            <source>OK</source>
            <translation>OK</translation>
        </message>
        <message>
            <source>キャンセル</source>
            <translation>Cancel</translation>
        </message>
        <message>
            <source>送信先はパスワードやトークンを含むため、設定ファイルとは別の Kelvane.secrets(本人だけが読めるファイル)に保存されます。</source>
            <translation>Targets hold passwords and tokens, so they are kept apart from the settings, in Kelvane.secrets (a file only you can read).</translation>
        </message>
        <message>
            <source>条件を読めません: </source>
            <translation>Cannot read the condition: </translation>
        </message>
        <message>
            <source>apprise コマンドがないため送れません (Debian の apprise パッケージを入れてください)</source>
            <translation>Cannot send: the apprise command is missing (install the Debian package apprise)</translation>
        </message>
        <message>
            <source>送信中…</source>
            <translation>Sending…</translation>
        </message>
        <message>
            <source>終わりました</source>
            <translation>Done</translation>
        </message>
    </context>
    <context>
        <name>HistoryPlaceDialog</name>
        <message>
            <source>接続テスト(&amp;T)</source>
            <translation>&amp;Test connection</translation>
        </message>
        <message>
            <source>履歴の保存先</source>
            <translation>History location</translation>
        </message>
        <message>
            <source>空欄なら %1</source>
            <translation>Empty: %1</translation>
        </message>
        <message>
            <source>保存先(&amp;A):</source>
            <translation>&amp;Location:</translation>
        </message>
        <message>
            <source>履歴ファイルのパス、または postgresql://ユーザー@ホスト:ポート/データベース</source>
            <translation>A history file's path, or postgresql://USER@HOST:PORT/DATABASE</translation>
        </message>
        <message>
            <source>パスワード(&amp;P):</source>
            <translation>&amp;Password:</translation>
        </message>
        <message>
            <source>パスワードは設定ファイルとは別の Kelvane.secrets(本人だけが読めるファイル)に保存されます。</source>
            <translation>The password is kept apart from the settings file, in Kelvane.secrets (a file only you can read).</translation>
        </message>
        <message>
            <source>OK</source>
            <translation>OK</translation>
        </message>
        <message>
            <source>キャンセル</source>
            <translation>Cancel</translation>
        </message>
        <message>
            <source>接続中…</source>
            <translation>Connecting…</translation>
        </message>
        <message>
            <source>OK: 履歴を開けました</source>
            <translation>OK: the history opened</translation>
        </message>
        <message>
            <source>開けません: </source>
            <translation>Cannot open it: </translation>
        </message>
        <message>
            <source>Kelvane.secrets を読めません: </source>
            <translation>Cannot read Kelvane.secrets: </translation>
        </message>
        <message>
            <source>保存先を保存できません: </source>
            <translation>Cannot keep the location: </translation>
        </message>
    </context>
</TS>
