#pragma once

class SpaceWeatherStore;
class MapViewportModel;
class DXClusterClient;
class PredictionStore;
class RotatorManager;
class Updater;

// The long-lived stores. CorvantaApp creates each once, hands them to its
// windows (every main window and the settings window get the same objects)
// and destroys them, after the windows, when the application ends. None is
// replaced while it runs.
struct AppStores {
    SpaceWeatherStore* spaceWeather = nullptr;
    MapViewportModel* viewport = nullptr;
    DXClusterClient* cluster = nullptr;
    PredictionStore* predictions = nullptr;
    RotatorManager* rotors = nullptr;
    Updater* updater = nullptr;
};
