#include "adapter/AdapterPage.h"

#include "documents/LangManager.h"
#include "modules/AppLogic.h"

namespace lumex {

TAdapterSnapshot TakeAdapterSnapshot(TLogic &logic)
{
    TAdapterSnapshot s;
    TModuleAdapter &m = logic.Adapter();
    TLogicAdapter &a = logic.AdapterLogic();
    const TDevStateAdapter &d = m.DevState();
    s.Connected = m.IsConnected();
    s.MainVersion = static_cast<uint8_t>(d.MainVersion.GetAsInteger());
    s.Product = static_cast<uint8_t>(d.BootloaderProductName.GetAsInteger());
    s.Version = a.VersionText(true, 0);
    s.VersionFull = s.Connected ? a.FullVersionText(false) : std::string{};
    s.Built = d.CompilationDate.Text() + " " + d.CompilationTime.Text();
    s.Serial = a.SerialNumberText(false);
    return s;
}

TAdapterPageView AdapterPageView(const TAdapterSnapshot &s)
{
    TAdapterPageView v;
    const std::string unknown = "[" + TranslateEnglish("unknown") + "]";
    if (s.Connected && s.MainVersion > 0) {
        v.Version = s.Version;
        v.Tone = TAdapterPageTone::Good;
        v.VersionFull = s.VersionFull;
        v.Built = s.Built;
        v.Serial = s.Serial;
        v.ButtonsEnabled = true;
        return v;
    }
    if (s.MainVersion != 0 && s.MainVersion != 1) {
        v.Version = "[" + TranslateEnglish("Incompatible version") + "] [" + std::to_string(s.Product) + "]";
        v.Tone = TAdapterPageTone::Bad;
    } else {
        v.Version = unknown;
        v.VersionFull = unknown;
    }
    v.Built = unknown;
    v.Serial = unknown;
    return v;
}

} // namespace lumex
