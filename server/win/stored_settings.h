// The server's values under HKCU\SOFTWARE\KEM, as stored.
#pragma once

#include "server/core/settings.h"

namespace kalvaro {

// Reads "sensor_source", "sensor_cpu_label" and "sensor_lhm_port"; never creates the key, and
// reads nothing through a registry link.
StoredSettings ReadStoredSettings();

}  // namespace kalvaro
