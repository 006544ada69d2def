#include "platform/transfer_file_opener.h"

#include "platform/transfer_file.h"

namespace cedar::platform {

namespace {

class PosixTransferFileOpener : public TransferFileOpener {
  public:
    std::unique_ptr<TransferFile> open(const std::string& path, Mode mode,
                                       std::string& error) override {
        using File = PosixTransferFile;
        const File::Mode fileMode = mode == Mode::Read     ? File::Mode::Read
                                    : mode == Mode::Append ? File::Mode::Append
                                                           : File::Mode::Create;
        return File::open(path, fileMode, error);
    }
};

}  // namespace

std::unique_ptr<TransferFileOpener> makeTransferFileOpener() {
    return std::make_unique<PosixTransferFileOpener>();
}

}  // namespace cedar::platform
