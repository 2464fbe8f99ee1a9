// The process-wide objects that exist before any window, created in this
// order and freed in the same order: the settings object and the
// product-profile holder, both bound to the one shared serial port (which
// the controller link owns).
#pragma once

#include <memory>

namespace lumex {

class TAppConfig;
class TComMultiPort;
class TCustomParameters;
struct TProductProfile;

class TApplicationSettings
{
public:
    // `port` is the shared port; it gets the controller's line settings.
    explicit TApplicationSettings(TComMultiPort &port);
    ~TApplicationSettings();
    TApplicationSettings(const TApplicationSettings &) = delete;
    TApplicationSettings &operator=(const TApplicationSettings &) = delete;

    TAppConfig &AppConfig() { return *config_; }
    TComMultiPort &Port() { return port_; }
    TCustomParameters &CustomParameters() { return *parameters_; }

    // The product row chosen at start-up: its default language and name go
    // to the settings object, the rest to the profile holder.
    void SelectProfile(const TProductProfile &profile);

private:
    std::unique_ptr<TAppConfig> config_;
    TComMultiPort &port_;
    std::unique_ptr<TCustomParameters> parameters_;
};

} // namespace lumex
