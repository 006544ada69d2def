#include "keyboard/qt/keyboard_files.h"

#include <QDir>
#include <QFile>

#include "screen/message_titles.h"

namespace cedar::keys::qt {

namespace {

constexpr qint64 kCountryFileLimit = 65535;
constexpr qint64 kLayoutFileLimit = static_cast<qint64>(kLayoutHeaderSize + kLayoutBlockSize);

std::optional<QByteArray> readFile(const QString& path, qint64 limit) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
    return file.read(limit);
}

QString inFolder(const std::string& folder, const std::string& name) {
    return QDir(QString::fromStdString(folder)).filePath(QString::fromStdString(name));
}

class KeyDataSource : public LayoutFileSource {
  public:
    explicit KeyDataSource(const std::string& folder) : folder_(folder) {}
    std::optional<std::vector<std::uint8_t>> read(const std::string& name) override {
        // One byte more than a layout file holds, so that an oversized one
        // is refused as too large rather than cut.
        const auto bytes = readFile(inFolder(folder_, name), kLayoutFileLimit + 1);
        if (!bytes) return std::nullopt;
        return std::vector<std::uint8_t>(bytes->begin(), bytes->end());
    }

  private:
    std::string folder_;
};

}  // namespace

KeyFileMessage countryFileNotFoundMessage() {
    return {"File \"country.lst\" was not found.\nYou may need to re-install Cedar.",
            title::kFileNotFound};
}

SessionKeyboardLoad loadSessionKeyboard(const KeyboardFolders& folders,
                                        const std::string& keyboardFile,
                                        const std::string& keyboardCountry, bool additionalKeys,
                                        CodePages& tables, LayoutBlock& map) {
    SessionKeyboardLoad out;
    auto country = readFile(inFolder(folders.appData, "country.lst"), kCountryFileLimit);
    if (!country)
        country = readFile(inFolder(folders.programData, "country.lst"), kCountryFileLimit);
    if (!country) {
        out.messages.push_back(countryFileNotFoundMessage());
        return out;
    }
    out.countryFileFound = true;
    loadCountryText(
        std::string_view(country->constData(), static_cast<std::size_t>(country->size())),
        CountryMode::Keyboard, {"", "", keyboardCountry}, tables);

    KeyDataSource source(folders.keyData);
    LayoutLoadOptions options;
    options.additionalKeys = additionalKeys;
    options.countryLayout = tables.keyLayout;
    const std::string name =
        keyboardFile.empty() ? std::string(defaultLayoutName(LayoutType::Keyboard)) : keyboardFile;
    auto outcome = loadLayoutByName(map, name, source, options);
    out.mapLoaded = outcome.loaded;
    out.messages.insert(out.messages.end(), outcome.messages.begin(), outcome.messages.end());
    out.newKeyboardFileName = std::move(outcome.newFileName);
    return out;
}

}  // namespace cedar::keys::qt
