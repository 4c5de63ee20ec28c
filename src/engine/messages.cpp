#include "engine/messages.h"

#include "language/language.h"

namespace kelvane::engine::messages {
namespace {

bool english() {
  return language::current() == language::Language::English;
}

}  // namespace

Text unknownCommand(int lineIndex, TextView commandWord) {
  Text out = english() ? u"Command error: line=" : u"コマンド記述エラー:line=";
  out += numberText(lineIndex);
  out += u"  Cmnd=";
  out += commandWord;
  return out;
}

Text badSource(int slot, TextView token) {
  if (english()) {
    Text out = u"Source error: put the text of parameter";
    out += numberText(slot);
    out += u" in double quotes. ";
    out += token;
    return out;
  }
  Text out = u"Source指定の誤り:第";
  out += numberText(slot);
  out += u"パラメータの文字列はダブルクオーツで囲んでください．";
  out += token;
  return out;
}

Text badDestination(TextView token) {
  Text out = english() ? u"Destination error: " : u"Destination指定の誤り:";
  out += token;
  return out;
}

Text nestedLoop() {
  return english() ? u"LOOP commands cannot be nested." : u"LOOP命令はネストできません．";
}

Text unmatchedLoopEnd() {
  return english() ? u"LOOPEND has no matching LOOP command."
                   : u"LOOPENDに対応するLOOP命令がありません．";
}

Text bufferTooLong() {
  return english() ? u"The text is too long. The run was stopped."
                   : u"文字列が長すぎます．処理を中止しました．";
}

Text loginNeeded() {
  return english() ? u"Login required" : u"ログインが必要です";
}

}  // namespace kelvane::engine::messages
