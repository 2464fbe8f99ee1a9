#include "configuration/ComponentPhotos.h"

namespace lumex {

namespace {

constexpr TComponentPhoto kPhotos[] = {
    {TPhotoComponent::GasInjector, "gas_injector", "Gas injector"},
    {TPhotoComponent::Reducer, "reducer", "Reducer"},
    {TPhotoComponent::PressureSensor, "pressure_sensor", "Pressure sensor"},
    {TPhotoComponent::LevelSensor, "level_sensor", "Level sensor"},
    {TPhotoComponent::LambdaProbe, "lambda_probe", "Lambda probe"},
    {TPhotoComponent::GasTempSensor, "gas_temp_sensor", "Gas temperature sensor"},
};

} // namespace

std::span<const TComponentPhoto> ComponentPhotos()
{
    return kPhotos;
}

std::string_view ComponentPhotoName(TPhotoComponent component)
{
    for (const auto &photo : kPhotos)
        if (photo.Component == component)
            return photo.Picture;
    return {};
}

} // namespace lumex
