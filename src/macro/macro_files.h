// The ten file handles macros read and write through OPEN, GET, PUT, EOF and
// CLOSE, shared by every macro of a session, and the CLIPBOARD pseudo-file.
// Files and the clipboard are reached through the interfaces below, so this
// code does no input or output of its own.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "macro/macro_error.h"
#include "macro/macro_value.h"
#include "macro/reserved_words.h"

namespace cedar {

enum class MacroFileMode : std::uint8_t { Input, Output, Append };

// One open file.
class MacroFileStream {
  public:
    virtual ~MacroFileStream() = default;
    // The next line: at most `maxBytes` bytes, up to the line end (LF, or
    // CR LF), which is consumed and not returned. A longer line comes back
    // in pieces of `maxBytes`. Nothing at the end of the file.
    virtual std::optional<std::string> readLine(std::size_t maxBytes) = 0;
    // Writes the bytes as they are; false on a write error.
    virtual bool write(std::string_view bytes) = 0;
};

// Opens files by the names macros give: relative names in the AppData
// folder, Windows path forms given their meaning here.
class MacroFileSystem {
  public:
    virtual ~MacroFileSystem() = default;
    // Nothing when the file cannot be opened.
    virtual std::unique_ptr<MacroFileStream> open(std::string_view name, MacroFileMode mode) = 0;
    // The system's error number (errno) of the last open that failed; 0 when unknown.
    virtual int lastOpenError() const { return 0; }
};

// The clipboard's text.
class MacroClipboard {
  public:
    virtual ~MacroClipboard() = default;
    // Nothing when the clipboard holds no text.
    virtual std::optional<std::string> text() = 0;
    // Replaces the clipboard's contents with the text.
    virtual void setText(std::string_view text) = 0;
};

class MacroFiles {
  public:
    static constexpr int kHandles = 10;
    static constexpr std::size_t kMaxRecord = 255;
    // The clipboard buffer: a text this long or longer does not fit.
    static constexpr std::size_t kClipboardBuffer = 65'536;
    // PUT to the clipboard stops before the buffer holds more than this.
    static constexpr std::size_t kClipboardPutLimit = 65'500;

    MacroFiles(MacroFileSystem& files, MacroClipboard& clipboard)
        : files_(files), clipboard_(clipboard) {}

    // True for OPEN, CLOSE, GET, PUT and EOF.
    static bool handles(ReservedWord word);
    // Carries out one of those words on arguments checked against its list.
    MacroError call(ReservedWord word, std::span<const MacroValue> args, MacroValue& result);

    // `mode` is INPUT, OUTPUT or APPEND in any case. The handle, or -1 on a
    // failure when `quiet`.
    MacroError open(std::string_view name, std::string_view mode, bool quiet, std::int32_t& handle);
    MacroError close(std::int32_t handle);
    MacroError get(std::int32_t handle, std::string& line);
    // `option` when given must be NOCRLF (any case).
    MacroError put(std::int32_t handle, std::string_view text,
                   std::optional<std::string_view> option = std::nullopt);
    bool eof(std::int32_t handle) const;

    // Closes every handle (a macro started by name or as text, or a macro
    // error). A clipboard opened for output is dropped, not copied.
    void closeAll();
    // The system's error number of the last OPEN of a disk file that failed.
    int lastOpenError() const { return openError_; }

  private:
    enum class State : std::uint8_t { Free, AtEnd, Clipboard, Disk };
    struct Handle {
        State state = State::Free;
        MacroFileMode mode = MacroFileMode::Input;
        std::optional<std::string> readAhead;
        std::unique_ptr<MacroFileStream> stream;
        std::string clipboardText;
        std::size_t clipboardPosition = 0;
    };

    MacroError openClipboard(Handle& h, MacroFileMode mode);
    void readAhead(Handle& h);
    Handle* openHandle(std::int32_t handle);

    MacroFileSystem& files_;
    MacroClipboard& clipboard_;
    std::array<Handle, kHandles> handles_{};
    int openError_ = 0;
};

}  // namespace cedar
