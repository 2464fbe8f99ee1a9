// The components of the installation page that have a photograph: one
// common picture each ("__<name>.jpg" in the resource folder), shown beside
// the list the installer chooses that component from.
#pragma once

#include <optional>
#include <span>
#include <string_view>

namespace lumex {

enum class TPhotoComponent
{
    GasInjector,
    Reducer,
    PressureSensor,
    LevelSensor,
    LambdaProbe,
    GasTempSensor
};

struct TComponentPhoto
{
    TPhotoComponent Component;
    std::string_view Picture; // the name part of the file
    std::string_view Title;   // what the stand-in drawing is labelled with
};

inline constexpr std::string_view kComponentPhotoExt = ".jpg";

std::span<const TComponentPhoto> ComponentPhotos();
// The picture name of a component; every component has one.
std::string_view ComponentPhotoName(TPhotoComponent component);

} // namespace lumex
