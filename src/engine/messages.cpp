#include "engine/messages.h"

namespace kelvane::engine::messages {

Text unknownCommand(int lineIndex, TextView commandWord) {
  Text out = u"コマンド記述エラー:line=";
  out += numberText(lineIndex);
  out += u"  Cmnd=";
  out += commandWord;
  return out;
}

Text badSource(int slot, TextView token) {
  Text out = u"Source指定の誤り:第";
  out += numberText(slot);
  out += u"パラメータの文字列はダブルクオーツで囲んでください．";
  out += token;
  return out;
}

Text badDestination(TextView token) {
  Text out = u"Destination指定の誤り:";
  out += token;
  return out;
}

Text nestedLoop() {
  return u"LOOP命令はネストできません．";
}

Text unmatchedLoopEnd() {
  return u"LOOPENDに対応するLOOP命令がありません．";
}

Text bufferTooLong() {
  return u"文字列が長すぎます．処理を中止しました．";
}

}  // namespace kelvane::engine::messages
