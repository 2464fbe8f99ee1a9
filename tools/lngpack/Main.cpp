// lngpack: turns a UTF-8 source text into a scrambled language file or OBD
// code list in the code page of its language, and back with --unpack.
#include "documents/CodePage.h"
#include "documents/FileIo.h"
#include "documents/LanguagePack.h"
#include "documents/Languages.h"
#include "documents/VersionInfo.h"

#include <cstdlib>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

namespace {

constexpr std::size_t MaxInputSize = std::size_t{64} * 1024 * 1024;

int Usage(const char *message = nullptr)
{
    if (message)
        std::cerr << "lngpack: " << message << '\n';
    std::cerr << "usage: lngpack [--code CODE | --charset N] [--file-version V | --no-version] SOURCE OUTPUT\n"
                 "       lngpack --unpack [--code CODE | --charset N] FILE [OUTPUT]\n"
                 "The language code, and with it the code page, follows from a name like _CZ.lng or\n"
                 "OBD-Codes-en_GB.lng unless given; language files (\"_\" names) get the version line.\n";
    return 2;
}

} // namespace

int main(int argc, char **argv)
{
    bool unpack = false;
    std::optional<std::string> code;
    std::optional<int> charset;
    std::optional<std::string> fileVersion;
    bool noVersion = false;
    std::vector<std::string> files;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        auto value = [&]() -> std::optional<std::string> {
            if (i + 1 >= argc)
                return std::nullopt;
            return std::string(argv[++i]);
        };
        if (arg == "--unpack") {
            unpack = true;
        } else if (arg == "--code") {
            code = value();
            if (!code)
                return Usage("--code needs a value");
        } else if (arg == "--charset") {
            auto text = value();
            char *end = nullptr;
            long n = text ? std::strtol(text->c_str(), &end, 10) : -1;
            if (!text || *end != '\0' || n < 0 || n > 255)
                return Usage("--charset needs a number from 0 to 255");
            charset = static_cast<int>(n);
        } else if (arg == "--file-version") {
            fileVersion = value();
            if (!fileVersion)
                return Usage("--file-version needs a value");
        } else if (arg == "--no-version") {
            noVersion = true;
        } else if (arg == "-h" || arg == "--help") {
            return Usage();
        } else if (!arg.empty() && arg.front() == '-') {
            return Usage(("unknown option " + arg).c_str());
        } else {
            files.push_back(arg);
        }
    }
    if (files.empty() || files.size() > 2 || (!unpack && files.size() != 2))
        return Usage();

    const std::string &input = files[0];
    const std::string named = unpack || files.size() < 2 ? input : files[1];
    if (!code)
        code = lumex::LanguageCodeOfResourceName(named);
    uint8_t pageCharset = charset ? static_cast<uint8_t>(*charset) : lumex::CharsetOf(code.value_or(""));

    try {
        auto bytes = lumex::ReadWholeFile(input, MaxInputSize);
        if (!bytes) {
            std::cerr << "lngpack: " << input << ": no such file\n";
            return 1;
        }
        std::string output;
        if (unpack) {
            output = lumex::UnpackLanguageFile(std::move(*bytes), pageCharset);
        } else {
            std::optional<std::string> version;
            if (!noVersion && (fileVersion || lumex::IsLanguageFileName(named)))
                version = fileVersion.value_or(lumex::version::FileVersion);
            output = lumex::PackLanguageText(*bytes, pageCharset, version);
        }
        if (files.size() == 2)
            lumex::WriteFileAtomically(files[1], output);
        else
            std::cout << output << std::flush;
    } catch (const std::exception &e) {
        std::cerr << "lngpack: " << input << ": " << e.what() << '\n';
        return 1;
    }
    return 0;
}
