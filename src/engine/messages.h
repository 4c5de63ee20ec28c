// The fixed texts of the engine's message boxes, each built in one place, in
// the language chosen at start-up (language::current()).
#pragma once

#include "engine/text.h"

namespace kelvane::engine::messages {

// コマンド記述エラー:line= 2  Cmnd=GETX
Text unknownCommand(int lineIndex, TextView commandWord);
// Source指定の誤り:第 3パラメータの文字列はダブルクオーツで囲んでください．ABC
Text badSource(int slot, TextView token);
// Destination指定の誤り:TOKEN
Text badDestination(TextView token);
Text nestedLoop();
Text unmatchedLoopEnd();
// A buffer would grow past the engine's limit.
Text bufferTooLong();
// A page asked for a login instead of showing what is watched.
Text loginNeeded();

}  // namespace kelvane::engine::messages
