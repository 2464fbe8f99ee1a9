// The configuration part of the data image as JSON, keyed by the image's
// field names (the quoted names of the configuration file where a field has
// one, such as "LoadP>val"), holding exactly the fields the controller's
// generation and firmware letter have.
#pragma once

#include "controller/NorviData.h"

#include <nlohmann/json.hpp>

namespace cli {

// The configuration and its follow-up parameters, the level-sensor tables
// and the model block.
nlohmann::json ConfigurationJson(const lumex::TNorviData &d);
// ConfigurationJson plus model parameters, model points, Model2 sets,
// corrections, maps and map points, and the adaptation tables.
nlohmann::json FullConfigurationJson(const lumex::TNorviData &d, const lumex::TImagePoints &points);

} // namespace cli
