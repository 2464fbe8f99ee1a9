// The process-wide objects that exist before any window, created in this
// order and freed in the same order: the settings object, the shared serial
// port (set up for the controller link) and the product-profile holder.
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
    TApplicationSettings();
    ~TApplicationSettings();
    TApplicationSettings(const TApplicationSettings &) = delete;
    TApplicationSettings &operator=(const TApplicationSettings &) = delete;

    TAppConfig &AppConfig() { return *config_; }
    TComMultiPort &Port() { return *port_; }
    TCustomParameters &CustomParameters() { return *parameters_; }

    // The product row chosen at start-up: its default language and name go
    // to the settings object, the rest to the profile holder.
    void SelectProfile(const TProductProfile &profile);

private:
    std::unique_ptr<TAppConfig> config_;
    std::unique_ptr<TComMultiPort> port_;
    std::unique_ptr<TCustomParameters> parameters_;
};

// The program's one instance, created on first use.
TApplicationSettings &ApplicationSettings();

} // namespace lumex
