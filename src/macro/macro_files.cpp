#include "macro/macro_files.h"

#include <algorithm>

namespace cedar {

namespace {

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'a' && x <= 'z') x = static_cast<char>(x - 'a' + 'A');
        if (y >= 'a' && y <= 'z') y = static_cast<char>(y - 'a' + 'A');
        if (x != y) return false;
    }
    return true;
}

std::optional<MacroFileMode> modeNamed(std::string_view mode) {
    if (equalsIgnoringCase(mode, "INPUT")) return MacroFileMode::Input;
    if (equalsIgnoringCase(mode, "OUTPUT")) return MacroFileMode::Output;
    if (equalsIgnoringCase(mode, "APPEND")) return MacroFileMode::Append;
    return std::nullopt;
}

bool validHandle(std::int32_t handle) {
    return handle >= 0 && handle < MacroFiles::kHandles;
}

}  // namespace

bool MacroFiles::handles(ReservedWord word) {
    return word == ReservedWord::Open || word == ReservedWord::Close || word == ReservedWord::Get ||
           word == ReservedWord::Put || word == ReservedWord::Eof;
}

MacroError MacroFiles::call(ReservedWord word, std::span<const MacroValue> args,
                            MacroValue& result) {
    const auto number = [&](std::size_t i) {
        return i < args.size() && args[i].isNumber() ? args[i].number : 0;
    };
    const auto text = [&](std::size_t i) {
        return i < args.size() && args[i].isText() ? args[i].text.view() : std::string_view{};
    };
    switch (word) {
        case ReservedWord::Open: {
            std::int32_t handle = -1;
            const MacroError e = open(text(0), text(1), number(2) == 1, handle);
            if (e == MacroError::None) result = MacroValue::ofNumber(handle);
            return e;
        }
        case ReservedWord::Close: {
            const MacroError e = close(number(0));
            if (e == MacroError::None) result = MacroValue::ofNumber(0);
            return e;
        }
        case ReservedWord::Get: {
            std::string line;
            const MacroError e = get(number(0), line);
            if (e == MacroError::None) result = MacroValue::ofText(line);
            return e;
        }
        case ReservedWord::Put: {
            const auto option = args.size() > 2 ? std::optional(text(2)) : std::nullopt;
            const MacroError e = put(number(0), text(1), option);
            if (e == MacroError::None) result = MacroValue::ofNumber(0);
            return e;
        }
        case ReservedWord::Eof:
            result = MacroValue::ofNumber(eof(number(0)) ? 1 : 0);
            return MacroError::None;
        default:
            return MacroError::UnknownFunction;
    }
}

MacroError MacroFiles::open(std::string_view name, std::string_view modeName, bool quiet,
                            std::int32_t& handle) {
    handle = -1;
    const auto fail = [&](MacroError e) { return quiet ? MacroError::None : e; };
    const auto mode = modeNamed(modeName);
    if (!mode) return fail(MacroError::InvalidOpenAction);
    std::int32_t free = 0;
    while (free < kHandles && handles_[static_cast<std::size_t>(free)].state != State::Free)
        ++free;
    if (free == kHandles) return fail(MacroError::NoFileHandles);
    Handle& h = handles_[static_cast<std::size_t>(free)];
    h = Handle{};
    h.mode = *mode;
    if (equalsIgnoringCase(name, "CLIPBOARD")) {
        const MacroError e = openClipboard(h, *mode);
        if (e != MacroError::None) {
            h = Handle{};
            return fail(e);
        }
    } else {
        h.stream = name.empty() ? nullptr : files_.open(name, *mode);
        if (!h.stream) {
            openError_ = name.empty() ? 0 : files_.lastOpenError();
            return fail(MacroError::FileOpenError);
        }
        h.state = State::Disk;
    }
    if (*mode == MacroFileMode::Input) readAhead(h);
    handle = free;
    return MacroError::None;
}

MacroError MacroFiles::openClipboard(Handle& h, MacroFileMode mode) {
    h.state = State::Clipboard;
    if (mode == MacroFileMode::Output) return MacroError::None;
    // APPEND to a clipboard without text writes into an empty buffer.
    std::optional<std::string> text = clipboard_.text();
    if (!text) return MacroError::None;
    // The text and its terminating NUL must fit the buffer.
    if (text->size() >= kClipboardBuffer) return MacroError::ClipboardFull;
    h.clipboardText = std::move(*text);
    return MacroError::None;
}

void MacroFiles::readAhead(Handle& h) {
    if (h.state == State::Disk) {
        h.readAhead = h.stream->readLine(kMaxRecord);
        if (!h.readAhead) {
            h.stream.reset();
            h.state = State::AtEnd;
        }
        return;
    }
    // The clipboard: lines end in CR LF (a lone CR or LF ends one too); a
    // longer line than a record comes back in pieces, as from a disk file.
    const std::string& text = h.clipboardText;
    std::size_t& pos = h.clipboardPosition;
    if (pos >= text.size()) {
        h.readAhead.reset();
        h.clipboardText.clear();
        h.state = State::AtEnd;
        return;
    }
    const std::size_t end = std::min(text.find_first_of("\r\n", pos), text.size());
    const std::size_t take = std::min(end - pos, kMaxRecord);
    h.readAhead = text.substr(pos, take);
    pos += take;
    if (pos == end && pos < text.size()) {
        if (text[pos] == '\r' && pos + 1 < text.size() && text[pos + 1] == '\n')
            pos += 2;
        else
            pos += 1;
    }
}

MacroFiles::Handle* MacroFiles::openHandle(std::int32_t handle) {
    Handle& h = handles_[static_cast<std::size_t>(handle)];
    return h.state == State::Free ? nullptr : &h;
}

MacroError MacroFiles::close(std::int32_t handle) {
    if (!validHandle(handle)) return MacroError::InvalidFileHandle;
    Handle& h = handles_[static_cast<std::size_t>(handle)];
    if (h.state == State::Clipboard && h.mode != MacroFileMode::Input)
        clipboard_.setText(h.clipboardText);
    h = Handle{};
    return MacroError::None;
}

MacroError MacroFiles::get(std::int32_t handle, std::string& line) {
    if (!validHandle(handle)) return MacroError::InvalidFileHandle;
    Handle* h = openHandle(handle);
    if (h == nullptr) return MacroError::FileNotOpen;
    if (h->mode != MacroFileMode::Input) return MacroError::GetOnOutputFile;
    if (h->state == State::AtEnd || !h->readAhead) return MacroError::EndOfFile;
    line = std::move(*h->readAhead);
    h->readAhead.reset();
    readAhead(*h);
    return MacroError::None;
}

MacroError MacroFiles::put(std::int32_t handle, std::string_view text,
                           std::optional<std::string_view> option) {
    if (!validHandle(handle)) return MacroError::InvalidFileHandle;
    Handle* h = openHandle(handle);
    if (h == nullptr) return MacroError::FileNotOpen;
    if (h->mode == MacroFileMode::Input) return MacroError::PutOnInputFile;
    if (text.size() > kMaxRecord) return MacroError::RecordTooLong;
    if (option && !equalsIgnoringCase(*option, "NOCRLF")) return MacroError::InvalidOpenAction;
    const bool lineEnd = !option;
    if (h->state == State::Clipboard) {
        const std::size_t added = text.size() + (lineEnd ? 2 : 0);
        if (h->clipboardText.size() + added > kClipboardPutLimit) return MacroError::ClipboardFull;
        h->clipboardText.append(text);
        if (lineEnd) h->clipboardText.append("\r\n");
        return MacroError::None;
    }
    std::string record(text);
    if (lineEnd) record.push_back('\n');
    return h->stream->write(record) ? MacroError::None : MacroError::FileWriteError;
}

bool MacroFiles::eof(std::int32_t handle) const {
    if (!validHandle(handle)) return true;
    const Handle& h = handles_[static_cast<std::size_t>(handle)];
    return h.state == State::Free || h.state == State::AtEnd;
}

void MacroFiles::closeAll() {
    for (Handle& h : handles_)
        h = Handle{};
}

}  // namespace cedar
