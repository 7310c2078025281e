#include "cluster/AlertSound.h"

#include <canberra.h>

CanberraSound::~CanberraSound() { close(); }

void CanberraSound::close()
{
    if (m_context)
        ca_context_destroy(m_context);
    m_context = nullptr;
}

bool CanberraSound::play(const QString& eventId)
{
    if (!m_context) {
        // Opened on first use: most runs never alert.
        if (ca_context_create(&m_context) != CA_SUCCESS) {
            m_context = nullptr;
            return false;
        }
        ca_context_change_props(m_context, CA_PROP_APPLICATION_NAME, "Corvanta", CA_PROP_APPLICATION_ID, "corvanta",
                                nullptr);
        if (ca_context_open(m_context) != CA_SUCCESS) {
            close();
            return false;
        }
    }
    const QByteArray id = eventId.toUtf8();
    if (ca_context_play(m_context, 0, CA_PROP_EVENT_ID, id.constData(), CA_PROP_EVENT_DESCRIPTION, "DX cluster alert",
                        nullptr)
        == CA_SUCCESS)
        return true;
    close();
    return false;
}
