#pragma once

#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/FileFilters.h"

namespace mf::platform {

enum class DefaultButton { Yes, No };
enum class Answer { Yes, No, Cancel };

// Modal message boxes and standard dialogs. Texts are Shift_JIS. Filters
// use the form "説明|*.ext|説明|*.*".
class Dialogs {
 public:
  virtual ~Dialogs() = default;
  virtual void Error(const std::string& text) = 0;
  virtual void Information(const std::string& text) = 0;
  // True when the user answers Yes. An empty caption is the program's own.
  virtual bool Question(const std::string& text, DefaultButton defaultButton, const std::string& caption) = 0;
  virtual Answer WarningYesNoCancel(const std::string& text) = 0;
  // Empty when cancelled.
  virtual std::optional<std::string> InputBox(const std::string& caption, const std::string& prompt,
                                              const std::string& initial) = 0;
  // The same for a secret: what is typed is not shown.
  virtual std::optional<std::string> PasswordBox(const std::string& caption, const std::string& prompt) = 0;
  virtual std::optional<std::string> OpenFile(const std::string& filter, const std::string& initialFolder) = 0;
  // The path ends in the extension the user typed or, for a name typed
  // without one, in the chosen filter entry's (else `defaultExtension`).
  virtual std::optional<std::string> SaveFile(const std::string& filter, const std::string& initialFolder,
                                              const std::string& defaultExtension) = 0;
  // Colours as 0x00BBGGRR.
  virtual std::optional<std::uint32_t> ChooseColour(std::uint32_t initial) = 0;
  // An existing folder; empty when cancelled.
  virtual std::optional<std::string> ChooseFolder(const std::string& caption, const std::string& initialFolder) = 0;
};

// Records every call and answers from queues; an empty queue answers No,
// Cancel or nothing.
class FakeDialogs final : public Dialogs {
 public:
  struct Call {
    Call(std::string kind, std::string text, std::string caption = {})
        : kind(std::move(kind)), text(std::move(text)), caption(std::move(caption)) {}
    std::string kind;  // "Error", "Information", "Question", ...
    std::string text;
    std::string caption;  // a question's own caption
  };

  void Error(const std::string& text) override { calls.push_back({"Error", text}); }
  void Information(const std::string& text) override { calls.push_back({"Information", text}); }
  bool Question(const std::string& text, DefaultButton, const std::string& caption) override {
    calls.push_back({"Question", text, caption});
    return Take(yesNo, false);
  }
  Answer WarningYesNoCancel(const std::string& text) override {
    calls.push_back({"Warning", text});
    return Take(answers, Answer::Cancel);
  }
  std::optional<std::string> InputBox(const std::string& caption, const std::string& prompt,
                                      const std::string&) override {
    calls.push_back({"InputBox", caption + "|" + prompt});
    return Take(texts, std::optional<std::string>());
  }
  std::optional<std::string> PasswordBox(const std::string& caption, const std::string& prompt) override {
    calls.push_back({"PasswordBox", caption + "|" + prompt});
    return Take(texts, std::optional<std::string>());
  }
  std::optional<std::string> OpenFile(const std::string& filter, const std::string&) override {
    calls.push_back({"OpenFile", filter});
    return Take(paths, std::optional<std::string>());
  }
  // A scripted filter entry (by position) treats the scripted path as the
  // real dialog does; without one the path comes back as scripted.
  std::optional<std::string> SaveFile(const std::string& filter, const std::string&,
                                      const std::string& defaultExtension) override {
    calls.push_back({"SaveFile", filter});
    std::optional<std::string> path = Take(paths, std::optional<std::string>());
    const std::optional<int> chosen = Take(chosenFilters, std::optional<int>());
    if (path && chosen) path = WithChosenExtension(*path, filter, *chosen, defaultExtension);
    return path;
  }
  std::optional<std::uint32_t> ChooseColour(std::uint32_t) override {
    calls.push_back({"ChooseColour", ""});
    return Take(colours, std::optional<std::uint32_t>());
  }
  std::optional<std::string> ChooseFolder(const std::string& caption, const std::string&) override {
    calls.push_back({"ChooseFolder", caption});
    return Take(folders, std::optional<std::string>());
  }

  // Answers, taken in order.
  std::deque<bool> yesNo;
  std::deque<Answer> answers;
  std::deque<std::optional<std::string>> texts;  // for InputBox and PasswordBox
  std::deque<std::optional<std::string>> paths;
  std::deque<std::optional<int>> chosenFilters;  // SaveFile's filter entries
  std::deque<std::optional<std::uint32_t>> colours;
  std::deque<std::optional<std::string>> folders;
  std::vector<Call> calls;

 private:
  template <typename Queue, typename Value>
  static Value Take(Queue& queue, Value fallback) {
    if (queue.empty()) return fallback;
    Value value = queue.front();
    queue.pop_front();
    return value;
  }
};

}  // namespace mf::platform
