#include "documents/AppSettings.h"

#include "documents/AppConfig.h"
#include "documents/CustomParams.h"
#include "documents/ProductProfile.h"
#include "serial/ComMultiPort.h"

namespace lumex {

TApplicationSettings::TApplicationSettings()
    : config_(std::make_unique<TAppConfig>()), port_(std::make_unique<TComMultiPort>()),
      parameters_(std::make_unique<TCustomParameters>())
{
    port_->ApplyControllerSettings();
}

TApplicationSettings::~TApplicationSettings()
{
    config_.reset();
    port_.reset();
    parameters_.reset();
}

void TApplicationSettings::SelectProfile(const TProductProfile &profile)
{
    config_->DefaultLanguage = profile.DefaultLanguage;
    config_->ProductName = profile.Name;
    parameters_->ApplyProfile(profile);
}

TApplicationSettings &ApplicationSettings()
{
    static TApplicationSettings settings;
    return settings;
}

} // namespace lumex
