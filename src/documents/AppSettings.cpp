#include "documents/AppSettings.h"

#include "documents/AppConfig.h"
#include "documents/CustomParams.h"
#include "documents/ProductProfile.h"
#include "serial/ComMultiPort.h"

namespace lumex {

TApplicationSettings::TApplicationSettings(TComMultiPort &port)
    : config_(std::make_unique<TAppConfig>()), port_(port), parameters_(std::make_unique<TCustomParameters>())
{
    port_.ApplyControllerSettings();
}

TApplicationSettings::~TApplicationSettings()
{
    config_.reset();
    parameters_.reset();
}

void TApplicationSettings::SelectProfile(const TProductProfile &profile)
{
    config_->DefaultLanguage = profile.DefaultLanguage;
    config_->ProductName = profile.Name;
    parameters_->ApplyProfile(profile);
}

} // namespace lumex
