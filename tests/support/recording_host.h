#pragma once
// A host for tests: records every message shown, answers questions from a queue, and keeps a
// clock that only moves when the test (or a sleep) moves it.
#include <deque>
#include <string>
#include <vector>

#include "shell/host.h"
#include "shell/messages.h"

namespace orvo::test {

class FakeClock final : public Clock {
 public:
  uint64_t NowNanoseconds() override { return now_ns; }
  void SleepMilliseconds(uint32_t ms) override {
    now_ns += static_cast<uint64_t>(ms == 0 ? 1 : ms) * 1000000u;
    ++sleeps;
  }
  uint64_t now_ns = 1000000000u;
  int sleeps = 0;
};

struct ShownMessage {
  CaptionId caption;
  MessageId message;
  std::string detail;
  std::string text;  // as formatted for the message box
};

class RecordingHost final : public Host {
 public:
  void ShowMessage(CaptionId caption, MessageId message, std::string_view detail) override {
    messages.push_back({caption, message, std::string(detail), FormatMessage(message, detail)});
  }
  bool AskYesNo(std::string_view caption, std::string_view text) override {
    questions.emplace_back(std::string(caption) + "|" + std::string(text));
    if (answers.empty()) return true;
    bool a = answers.front();
    answers.pop_front();
    return a;
  }
  Clock& GetClock() override { return clock; }
  void SetUpDisplay() override { ++displaySetUps; }
  void ShowPlainMessage(std::string_view caption, std::string_view text) override {
    plainMessages.emplace_back(std::string(caption) + "|" + std::string(text));
  }
  GameControllers* Controllers() override { return controllers; }
  AudioDevice* Audio() override { return audio; }

  std::vector<ShownMessage> messages;
  std::vector<std::string> questions;
  std::deque<bool> answers;
  std::vector<std::string> plainMessages;  // "caption|text"
  int displaySetUps = 0;
  FakeClock clock;
  GameControllers* controllers = nullptr;  // none unless a test hands some out
  AudioDevice* audio = nullptr;            // no sound device unless a test hands one out
};

}  // namespace orvo::test
