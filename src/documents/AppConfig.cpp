#include "documents/AppConfig.h"

#include "common/AtomicFile.h"
#include "documents/FileIo.h"
#include "documents/IniFile.h"
#include "documents/LangManager.h"
#include "documents/Languages.h"
#include "documents/VersionInfo.h"
#include "serial/ComMultiPort.h"

#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace lumex {

namespace {

std::string WithSlash(std::string folder)
{
    if (folder.empty() || folder.back() != '/')
        folder += '/';
    return folder;
}

// The read-only attribute: no write permission bit at all, or no write
// access for this process. The mode bits matter even to a super-user.
bool IsReadOnly(const std::string &path)
{
    struct stat st
    {
    };
    if (::stat(path.c_str(), &st) != 0)
        return true;
    return (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0 || ::access(path.c_str(), W_OK) != 0;
}

bool CreateEmptyFile(const std::string &path)
{
    std::error_code error;
    std::filesystem::create_directories(std::filesystem::path(path).parent_path(), error);
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0)
        return errno == EEXIST;
    return ::close(fd) == 0;
}

} // namespace

std::string SettingsFileNameOf(const std::string &programFile)
{
    auto dot = programFile.find_last_of('.');
    if (dot == std::string::npos || dot == 0)
        return programFile + ".INI";
    return programFile.substr(0, dot + 1) + "INI";
}

TAppConfig::TAppConfig() : ProductName(version::ProductName) {}

void TAppConfig::InitPaths(TComMultiPort *port)
{
    InitPaths(port, TAppFolders::FromEnvironment(ProductName));
}

void TAppConfig::InitPaths(TComMultiPort *port, const TAppFolders &folders)
{
    port_ = port;
    const std::string programFolder = WithSlash(folders.ProgramFolder);
    settingsFolder_ = folders.LocalAppData.empty() ? programFolder : WithSlash(folders.LocalAppData);
    settingsFile_ = settingsFolder_ + SettingsFileNameOf(folders.ProgramFile);
    dataFolder_ =
        folders.Personal.empty() ? programFolder + "Data/" : WithSlash(folders.Personal) + ProductName + " Data/";
    if (!DirectoryExists(dataFolder_))
        ::mkdir(dataFolder_.c_str(), 0777); // one level; a failure is left to the file dialogs
}

TLM *TAppConfig::LanguageManager() const
{
    return lm_ ? lm_ : TLM::Instance();
}

std::string TAppConfig::FallbackLanguage() const
{
    const TLM *lm = LanguageManager();
    if (lm ? lm->IsKnownCode(DefaultLanguage) : IsKnownLanguageCode(DefaultLanguage))
        return DefaultLanguage;
    return "EN";
}

void TAppConfig::LoadSettings()
{
    // A save killed half-way left its temporary; the file itself is whole.
    RemoveStaleTemporaries(settingsFile_);
    TIniFile ini;
    try {
        ini = TIniFile::Load(settingsFile_);
    } catch (const EIniFileError &) {
        // Unreadable reads as missing: all defaults.
    }
    SetPortNumber(ini.ReadInteger(Section, PortKey, 1), false);

    // The code ends up in file names: only the known codes pass.
    std::string code = ini.ReadString(Section, LanguageKey, "");
    TLM *lm = LanguageManager();
    const bool known = lm ? lm->IsKnownCode(code) : IsKnownLanguageCode(code);
    language_ = known ? code : FallbackLanguage();
    if (lm)
        lm->SetLanguageCode(language_);
}

bool TAppConfig::SaveSettings()
{
    auto fail = [&](const char *text) {
        if (OnError)
            OnError("Error!", text);
        return false;
    };
    bool created = false;
    if (FileExists(settingsFile_)) {
        if (IsReadOnly(settingsFile_))
            return fail("INI file read only");
    } else {
        if (!CreateEmptyFile(settingsFile_))
            return fail("Cannot create INI file");
        created = true;
    }

    TIniFile ini;
    try {
        ini = TIniFile::Load(settingsFile_);
    } catch (const EIniFileError &) {
        // Rewriting a file we cannot read would lose the keys we do not own.
        return fail("INI file read only");
    }
    TLM *lm = LanguageManager();
    ini.WriteInteger(Section, PortKey, PortNumber());
    ini.WriteString(Section, LanguageKey, lm ? lm->LanguageCode() : language_);
    try {
        ini.Save(settingsFile_);
    } catch (const EFileWriteError &) {
        return fail(created ? "Cannot create INI file" : "INI file read only");
    }
    return true;
}

void TAppConfig::SetPortNumber(long long n, bool open)
{
    if (n < 2 || n > 255)
        n = 1;
    fallbackPort_ = static_cast<int>(n);
    if (!port_)
        return;
    try {
        bool wasOpen = port_->IsOpen();
        port_->SetComDevice(static_cast<uint8_t>(n));
        if (open || wasOpen)
            port_->Open();
    } catch (const EComPortError &) {
        // The connection workflow reports a port that stayed closed.
    }
}

int TAppConfig::PortNumber() const
{
    return port_ ? port_->ComDevice() : fallbackPort_;
}

} // namespace lumex
