#pragma once

#include "cluster/Band.h"
#include "cluster/DXCCProgress.h"
#include "cluster/SpotBook.h"
#include "cluster/SpotMode.h"

#include <QString>

class Settings;

// What the operator wants to see of the cluster, and what the alerts test
// spots against.
struct SpotDisplayOptions {
    ModeFilter modeFilter = ModeFilter::all;
    BandSet bands;
    bool neededOnly = false; // only needed (or watched) spots
    NeedScope needScope = NeedScope::country;
    bool confirmedOnly = false;
    CallWatchList watchList;

    // From the stored texts: an unknown mode filter means all modes;
    // "needed" (exactly) shows needed spots only; "bandCountry" (exactly)
    // is the band-country scope, anything else the country scope.
    static SpotDisplayOptions fromTexts(const QString& modeFilter, const QString& bands, const QString& show,
                                        const QString& needScope, bool confirmedOnly, const QString& watchCalls);
    // Read from the settings at the time of the call.
    static SpotDisplayOptions fromSettings(const Settings& settings);

    SpotFilter filter() const { return { modeFilter, bands }; }

    friend bool operator==(const SpotDisplayOptions&, const SpotDisplayOptions&) = default;
};
