#pragma once

#include <QString>

struct ca_context;

// Plays the alert sounds. An interface so that tests can hear what the
// cluster client plays without a sound device.
class AlertSound {
public:
    virtual ~AlertSound() = default;
    // A freedesktop sound-theme event id ("complete", "message-new-instant").
    virtual void play(const QString& eventId) = 0;
};

// The desktop's sound theme through libcanberra. Without a sound device or
// theme it plays nothing and says nothing; playing never waits for the sound.
class CanberraSound : public AlertSound {
public:
    CanberraSound() = default;
    ~CanberraSound() override;
    CanberraSound(const CanberraSound&) = delete;
    CanberraSound& operator=(const CanberraSound&) = delete;

    void play(const QString& eventId) override;

private:
    ca_context* m_context = nullptr;
    bool m_failed = false; // no device: not tried again
};
