// The common part of the host's IND$FILE program: the command on the
// screen, the query, and the choice between DFT and CUT.
#include "ind_file_host.h"

#include "ebcdic.h"

namespace cedar::hostside {

namespace {

constexpr std::uint8_t kEnter = 0x7D;
constexpr std::uint8_t kStructuredField = 0x88;
constexpr std::uint8_t kSba = 0x11;

// The typed text of each field of an Enter record (or the text after the
// cursor address of an unformatted screen).
std::vector<std::string> typedTexts(std::span<const std::uint8_t> record) {
    std::vector<std::string> out;
    if (record.size() < 4 || record[0] != kEnter) return out;
    std::size_t i = 3;
    if (record[i] != kSba) {
        out.push_back(fromEbcdic(record.data() + i, record.size() - i));
        return out;
    }
    while (i + 2 < record.size() && record[i] == kSba) {
        std::size_t j = i + 3;
        while (j < record.size() && record[j] != kSba)
            ++j;
        std::string text;
        for (std::size_t k = i + 3; k < j; ++k)
            if (record[k] != 0) text += fromEbcdic(record[k]);
        out.push_back(std::move(text));
        i = j;
    }
    return out;
}

std::size_t be16(std::span<const std::uint8_t> b, std::size_t at) {
    return (static_cast<std::size_t>(b[at]) << 8) | b[at + 1];
}

}  // namespace

Bytes tsoQuery() {
    // WSF: an Outbound 3270DS Write (WCC 0xC2) that unlocks nothing, then
    // Read Partition Query.
    return {0xF3, 0x00, 0x06, 0x40, 0x00, 0xF1, 0xC2, 0x00, 0x05, 0x01, 0xFF, 0x02};
}

Bytes cmsQuery() {
    // WSF: Read Partition Query List, all query replies.
    return {0xF3, 0x00, 0x07, 0x01, 0xFF, 0x03, 0x80, 0x00};
}

std::optional<std::pair<std::size_t, std::size_t>> ddmLimits(std::span<const std::uint8_t> record) {
    if (record.empty() || record[0] != kStructuredField) return std::nullopt;
    std::size_t i = 1;
    while (i + 4 <= record.size()) {
        const std::size_t length = be16(record, i);
        if (length < 4 || i + length > record.size()) return std::nullopt;
        // Query reply 0x81, DDM 0x95: flags, LIMIN, LIMOUT, NSS, DDMSS.
        if (record[i + 2] == 0x81 && record[i + 3] == 0x95 && length >= 10)
            return std::pair{be16(record, i + 6), be16(record, i + 8)};
        i += length;
    }
    return std::nullopt;
}

IndFileHost::IndFileHost(DataSetStore& store, IndFileOptions options)
    : store_(store), options_(std::move(options)) {}

bool IndFileHost::start(std::span<const std::uint8_t> record, std::vector<Bytes>& out) {
    for (const auto& text : typedTexts(record)) {
        std::string error;
        auto command = parseIndFile(text, error);
        if (!command && error.empty()) continue;
        result_.reset();
        if (!command) {
            IndFileResult r;
            r.message = "TRANS13 Invalid IND$FILE command: " + error;
            result_ = r;
            return true;
        }
        command_ = *command;
        if (options_.unquoteNames && command_.name.size() >= 2 && command_.name.front() == '\'' &&
            command_.name.back() == '\'')
            command_.name = command_.name.substr(1, command_.name.size() - 2);
        data_.clear();
        offset_ = 0;
        block_ = 0;
        frames_ = 0;
        lastReply_.clear();
        lastFrame_.clear();
        state_ = State::Query;
        const bool tso =
            options_.system == IndFileOptions::System::Tso ||
            (options_.system == IndFileOptions::System::Auto && !command_.parenthesised);
        out.push_back(tso ? tsoQuery() : cmsQuery());
        return true;
    }
    return false;
}

void IndFileHost::receive(std::span<const std::uint8_t> record, std::vector<Bytes>& out) {
    if (state_ == State::Idle || record.empty()) return;
    if (state_ == State::Query) {
        const auto limits = ddmLimits(record);
        dft_ = limits && options_.mode == IndFileOptions::Mode::Auto;
        if (dft_) {
            inboundLimit_ = limits->first;
            outboundLimit_ = limits->second;
            dftBegin(out);
        } else {
            cutBegin(out);
        }
        return;
    }
    if (dft_)
        dftReceive(record, out);
    else
        cutReceive(record, out);
}

bool IndFileHost::cics() const {
    return options_.system == IndFileOptions::System::Cics;
}

bool IndFileHost::hostCancels() const {
    return options_.cancelAfterBlocks >= 0 &&
           block_ >= static_cast<std::uint32_t>(options_.cancelAfterBlocks);
}

std::string IndFileHost::completion() const {
    if (!options_.completionMessage.empty()) return options_.completionMessage;
    return dft_ ? "TRANS03   File transfer complete" : "TRANS03 - File transfer complete";
}

void IndFileHost::end() {
    IndFileResult r;
    r.ok = ok_;
    r.message = message_;
    r.command = command_;
    r.dft = dft_;
    r.bytes = command_.put ? data_.size() : offset_;
    if (ok_ && command_.put) {
        DataSet set{data_, command_.optionText()};
        const bool kept = command_.has("APPEND") ? store_.append(command_.name, set)
                                                 : store_.put(command_.name, std::move(set));
        if (!kept) {
            r.ok = false;
            r.message = "TRANS13 Data set " + command_.name + " could not be written";
        }
    }
    result_ = r;
    state_ = State::Idle;
}

}  // namespace cedar::hostside
