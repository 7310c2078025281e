#pragma once

class SpaceWeatherStore;
class MapViewportModel;
class DXClusterClient;
class PredictionStore;
class RotatorManager;

// The long-lived stores the application creates once and hands to its
// windows. Every main window and the settings window get the same objects;
// none of them is ever replaced or destroyed before the process ends.
struct AppStores {
    SpaceWeatherStore* spaceWeather = nullptr;
    MapViewportModel* viewport = nullptr;
    DXClusterClient* cluster = nullptr;
    PredictionStore* predictions = nullptr;
    RotatorManager* rotors = nullptr;
};
