// The macro statements written for each key function while a macro is being
// recorded: Wait lines for the host's keyboard restores since the last key,
// Key statements, Execute statements for macro keys, and typed characters
// collected into Type statements.
#pragma once

#include <cstdint>
#include <string>

#include "keyboard/key_word.h"
#include "keyboard/keyboard_services.h"

namespace cedar::keys {

// What the dispatcher knows about one key function once it has run.
struct RecordedKey {
    KeyWord word = kNoFunction;
    int restores = 0;   // host keyboard restores since the last key function
    int rowBefore = 0;  // cursor before the key, from 1
    int columnBefore = 0;
    int rowAfter = 0;  // cursor after the key, from 1
    int columnAfter = 0;
    bool keyFromMouse = false;  // the function acted at the mouse position
    std::uint8_t macroListSelector = 0;
};

class StatementWriter {
  public:
    static constexpr std::size_t kTypedFlushLength = 80;

    explicit StatementWriter(KeyRecorder& recorder) : recorder_(&recorder) {}
    void setRecorder(KeyRecorder& recorder) { recorder_ = &recorder; }

    // Writes what `key` adds to the recording; `recordWait` is the seconds of
    // every Wait line.
    void record(const RecordedKey& key, int recordWait);
    // Writes the waiting typed characters as one Type statement.
    void flushTypedText();
    const std::string& pendingTypedText() const { return typed_; }

  private:
    // Every line but a Type statement first flushes the typed characters.
    void writeLine(const std::string& line);

    KeyRecorder* recorder_;
    std::string typed_;
};

}  // namespace cedar::keys
