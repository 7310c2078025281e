#include "cluster/AlertSound.h"

#include <canberra.h>

CanberraSound::~CanberraSound()
{
    if (m_context)
        ca_context_destroy(m_context);
}

void CanberraSound::play(const QString& eventId)
{
    if (m_failed)
        return;
    if (!m_context) {
        // Opened on first use: most runs never alert.
        if (ca_context_create(&m_context) != CA_SUCCESS) {
            m_context = nullptr;
            m_failed = true;
            return;
        }
        ca_context_change_props(m_context, CA_PROP_APPLICATION_NAME, "Corvanta", CA_PROP_APPLICATION_ID, "corvanta",
                                nullptr);
        if (ca_context_open(m_context) != CA_SUCCESS) {
            ca_context_destroy(m_context);
            m_context = nullptr;
            m_failed = true;
            return;
        }
    }
    const QByteArray id = eventId.toUtf8();
    ca_context_play(m_context, 0, CA_PROP_EVENT_ID, id.constData(), CA_PROP_EVENT_DESCRIPTION, "DX cluster alert",
                    nullptr);
}
