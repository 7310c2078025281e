#pragma once

#include <QString>

struct ca_context;

// Plays the alert sounds. An interface so that tests can hear what the
// cluster client plays without a sound device.
class AlertSound {
public:
    virtual ~AlertSound() = default;
    // A freedesktop sound-theme event id ("complete", "message-new-instant").
    // False when it could not be played (no sound device, say).
    virtual bool play(const QString& eventId) = 0;
};

// The desktop's sound theme through libcanberra; playing never waits for the
// sound. Each play after a failure starts afresh, so a device plugged in
// meanwhile is found.
class CanberraSound : public AlertSound {
public:
    CanberraSound() = default;
    ~CanberraSound() override;
    CanberraSound(const CanberraSound&) = delete;
    CanberraSound& operator=(const CanberraSound&) = delete;

    bool play(const QString& eventId) override;

private:
    void close();

    ca_context* m_context = nullptr;
};
