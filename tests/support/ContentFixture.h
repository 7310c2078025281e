#pragma once

// The main window's content for the shell's tests: a content view over
// stores of its own, whose published values a test sets, on a settings
// store emptied first; and how light a widget is drawn on the dark look.
#include "cluster/DXClusterClient.h"
#include "map/MapViewportModel.h"
#include "shell/ContentView.h"
#include "shell/MainToolBar.h"
#include "spaceweather/SpaceWeatherStore.h"
#include "support/Settings.h"

#include <QActionGroup>
#include <QImage>
#include <QWidget>

#include <memory>

class RotatorManager;

struct FakeSpaceWeather : SpaceWeatherStore {
    FakeSpaceWeather()
        : SpaceWeatherStore(idle())
    {
    }
    static Options idle()
    {
        Options options;
        options.startLoop = false;
        return options;
    }
    using SpaceWeatherStore::setLastError;
    using SpaceWeatherStore::setLoading;
};

struct FakeCluster : DXClusterClient {
    using DXClusterClient::setStatus;
};

// A content view over stores of its own, on a settings store emptied first.
struct ContentFixture {
    FakeSpaceWeather spaceWeather;
    MapViewportModel viewport;
    FakeCluster cluster;
    std::unique_ptr<ContentView> view;
    QStringList written;

    explicit ContentFixture(RotatorManager* rotors = nullptr)
    {
        Settings& settings = Settings::standard();
        for (const QString& key : settings.allKeys())
            settings.remove(key);
        view = std::make_unique<ContentView>(AppStores { &spaceWeather, &viewport, &cluster, nullptr, rotors });
        QObject::connect(&settings, &Settings::changed, view.get(), [this](const QString& key) { written << key; });
    }

    MainToolBar* bar() const { return view->toolBar(); }
    QAction* entry(QActionGroup* group, const QString& text) const
    {
        for (QAction* a : group->actions())
            if (a->text() == text)
                return a;
        return nullptr;
    }
};

// How many pixels of a widget are drawn light (text, icons) on the dark
// look, and how light it is on average.
struct Look {
    int lightPixels = 0;
    double meanLightness = 0;
};
inline Look lookOf(QWidget* widget)
{
    const QImage image = widget->grab().toImage().convertToFormat(QImage::Format_ARGB32);
    Look look;
    double sum = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            sum += c.lightness() * c.alphaF();
            look.lightPixels += c.alpha() > 128 && c.lightness() > 160 ? 1 : 0;
        }
    look.meanLightness = image.isNull() ? 0 : sum / (double(image.width()) * image.height());
    return look;
}
